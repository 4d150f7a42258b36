#pragma once

#include <string>
#include <vector>

#include "backend/batch_site_loop.h"

namespace oz::backend {

inline constexpr const char* kDeleteCategoriesCaption = "批量删除栏目";

struct DeleteCategoriesOptions {
    int from = 1;  // 编辑框起始ID1, 编辑框终止ID1: both included, counted down when from > to
    int to = 500;
    bool deleteFiles = false;   // 选择框删除文件: delfile "yes" / "no"
    bool refreshLists = false;  // 选择框刷新栏目
};

// deletionQuestion for the range of ids.
std::string deleteCategoriesQuestion(const DeleteCategoriesOptions& options, BatchScope scope, int sites);

// `deleteCategories`: per site the login, the category list, then one catalog_del.php request per
// id the list holds (the back end answers alike for an id it lacks: those are counted apart, with
// absentIdsText; every id is sent when the list cannot be read); an id counts
// as deleted when the answer holds "成功删除一个栏目！" (DedeBIZ: "成功删除一个栏目"). An answer that
// says nothing trustworthy (an HTTP 500, a dropped connection) is settled by the site's category
// list: an id listed before the first deletion and gone now was deleted, one still listed or
// never listed was not; without a list it counts apart ("；结果未知 N 个").
BatchReport deleteCategories(const std::vector<BatchTarget>& targets, const DeleteCategoriesOptions& options,
                             const BatchEnvironment& env);

}  // namespace oz::backend
