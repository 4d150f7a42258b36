#pragma once

#include <functional>
#include <string_view>

#include "backend/batch_site_loop.h"
#include "config/site_config.h"
#include "config/site_import.h"

namespace oz::backend {

inline constexpr const char* kBulkImportCaption = "批量导入站点";

struct BulkImportOptions {
    bool readCategories = false;  // 选择框读取栏目列表: read each imported site's category list
    bool checkAll = false;        // 选择框全选栏目列表
    double delaySeconds = 0;      // 编辑框导入延迟秒: the pause after each imported site
};

// Told of each site a bulk import added, once its tree (when asked) is in the record: the site's
// 0-based place in the list and the record. A window appends it to its own list there.
using ImportedSiteSink = std::function<void(int index, const config::SiteConfig& record)>;

// `bulkImport`'s line loop: per line the caption "已导入 n 个站点", the record made from the line
// with `window` supplying what it leaves empty (fields 6-15 patch it), added as the silent "添加"
// does; refused lines go to the failure list. An imported site's category tree is read (and
// checked all) when asked; a failed read leaves the tree empty. The stop flag is checked before
// every line and ends the pause.
config::BulkImportResult bulkImport(config::SiteList& list, std::string_view text,
                                    const config::SiteConfig& window, const BulkImportOptions& options,
                                    const BatchEnvironment& env, const ImportedSiteSink& imported = {});

}  // namespace oz::backend
