#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "backend/batch_site_loop.h"
#include "backend/category_tree.h"
#include "config/site_config.h"

namespace oz::backend {

inline constexpr const char* kBatchReadCaption = "批量读取已有站点的栏目列表";
inline constexpr const char* kBatchReadDoneMessage =
    "批量读取完成！已经自动写入对应站点配置（无需手动点击【修改】按钮）";
inline constexpr const char* kBatchReadFailureTitle = "没有读到栏目列表的站点：";

// The stored form of a category tree (栏目数据): a "OZTREE 1" line, then one line per item in
// tree order, "level\tid\tchecked(0|1)\tname", CR LF after each. Decoding rebuilds the parents
// from the levels; bytes in any other form decode as an empty tree.
std::string encodeCategoryTree(const std::vector<CategoryItem>& items);
std::vector<CategoryItem> decodeCategoryTree(std::string_view bytes);
// True for bytes in that form, and for none at all (no tree read yet).
bool isStoredTreeForm(std::string_view bytes);

// Puts a tree into a record: 栏目数据, and 栏目ID from its check marks.
void storeCategoryTree(config::SiteConfig& site, const std::vector<CategoryItem>& items);

struct BatchReadOptions {
    bool skipRead = false;  // 选择框跳过已读站点: leave sites whose stored tree has nodes alone
    bool checkAll = false;  // 选择框全选栏目列表
};

// Receives each tree read: the site's 1-based index and the record with the tree stored in it
// (the target's record otherwise unchanged). The window stores it as a silent "修改" does; the
// command line writes it to the settings file at once.
using TreeReadSink = std::function<void(int index, const config::SiteConfig& record)>;

// The batch category read: per site the caption "正在读取第 i 个站点", then, unless skipped, the
// login and the category list (kept check marks; all checked when asked). The report has a line per
// site read; a failed login or an empty reading leaves the stored tree as it was and gives a line
// of the failure text instead.
BatchReport readCategoryLists(const std::vector<BatchTarget>& targets, const BatchReadOptions& options,
                              const BatchEnvironment& env, const TreeReadSink& store);

}  // namespace oz::backend
