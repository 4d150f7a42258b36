#include "backend/bulk_import.h"

#include "backend/batch_category_read.h"
#include "text/markers.h"

namespace oz::backend {

config::BulkImportResult bulkImport(config::SiteList& list, std::string_view text,
                                    const config::SiteConfig& window, const BulkImportOptions& options,
                                    const BatchEnvironment& env, const ImportedSiteSink& imported) {
    config::BulkImportResult result;
    config::SiteLabels labels(list);
    const std::vector<std::string_view> lines = text::splitLines(text);
    config::reserveSites(list, lines.size());
    for (std::size_t n = 0; n < lines.size(); ++n) {
        if (env.stopped()) {
            result.stopped = true;
            break;
        }
        env.caption("已导入 " + std::to_string(n) + " 个站点");
        const int index = config::importSiteLine(list, labels, lines[n], window, result);
        if (index < 0) continue;
        config::SiteConfig& site = list.sites[static_cast<std::size_t>(index)];
        if (options.readCategories) {
            const BatchTarget target{index + 1, site, formOfSite(site)};
            BatchSite visit = openBatchSite(target, env);
            AdminSession session = visit.session();
            CategoryListResult read = readCategoryList(session, env.backend);
            if (options.checkAll) {
                for (CategoryItem& item : read.items) item.checked = true;
            }
            storeCategoryTree(site, read.items);
        }
        if (imported) imported(index, site);
        if (n + 1 < lines.size() && options.delaySeconds > 0 &&
            !env.pause(static_cast<int>(options.delaySeconds * 1000))) {
            result.stopped = true;
            break;
        }
    }
    return result;
}

}  // namespace oz::backend
