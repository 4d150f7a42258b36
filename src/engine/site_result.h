#pragma once

namespace oz::engine {

// One row of the end-of-run summary: what one enabled site did in the run.
struct SiteResult {
    int siteIndex = 0;  // 1-based position in the site list
    int actual = 0;     // articles published
    int planned = 0;    // the count the site was set to publish
    int read = 0;       // article files found
    int unknown = 0;    // submissions whose outcome is unknown: maybe published
    int undeleted = 0;  // published files that 更新后删除 could not delete

    // The row of a site from its run state: `limit` is the global count when that option is on,
    // else the site's own 更新数量; a limit of 0 or less means "all files read".
    static SiteResult fromRun(int siteIndex, int updatedCount, int limit, int articleCount,
                              int unknownCount = 0, int undeletedCount = 0) {
        return SiteResult{siteIndex,    updatedCount, limit > 0 ? limit : articleCount,
                          articleCount, unknownCount, undeletedCount};
    }

    bool operator==(const SiteResult&) const = default;
};

}  // namespace oz::engine
