#pragma once

#include <algorithm>

namespace oz::engine {

// One row of the end-of-run summary: what one enabled site did in the run.
struct SiteResult {
    int siteIndex = 0;     // 1-based position in the site list
    int actual = 0;        // articles published
    int planned = 0;       // the count the site was set to publish
    int read = 0;          // article files found
    int unknown = 0;       // submissions whose outcome is unknown: maybe published
    bool reached = false;  // logged in and its article folder listed
    int undeleted = 0;     // published files that 更新后删除 could not delete
    // The live check: articles seen right on the site, articles that failed it, and whether the
    // regenerated home page failed it (all 0 when it did not run).
    int liveConfirmed = 0;
    int liveFailed = 0;
    bool homePageFailed = false;
    int skippedPublished = 0;  // files left out because the back end holds them already

    // The row of a site from its run state: `limit` is the global count when that option is on,
    // else the site's own 更新数量; a limit of 0 or less means "all files read".
    static SiteResult fromRun(int siteIndex, int updatedCount, int limit, int articleCount,
                              int unknownCount = 0, bool reached = true, int undeletedCount = 0) {
        SiteResult row;
        row.siteIndex = siteIndex;
        row.actual = updatedCount;
        row.planned = limit > 0 ? limit : articleCount;
        row.read = articleCount;
        row.unknown = unknownCount;
        row.reached = reached;
        row.undeleted = undeletedCount;
        return row;
    }

    // Everything the site had to publish was published, and its files went as asked (a site with no
    // article files is done).
    bool done() const {
        return reached && unknown == 0 && undeleted == 0 && actual >= std::min(planned, read);
    }
    // Nothing was published although there was something to publish, or the site was not reached.
    bool failedEntirely() const { return !reached || (actual == 0 && std::min(planned, read) > 0); }
    // Something published does not show right on the live site.
    bool liveCheckFailed() const { return liveFailed > 0 || homePageFailed; }

    bool operator==(const SiteResult&) const = default;
};

}  // namespace oz::engine
