#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "backend/article_lookup.h"
#include "backend/live_check.h"
#include "content/article_draft.h"
#include "content/article_source.h"
#include "content/site_pools.h"

namespace oz::engine {

// The run-time state of one site during a run; never saved. Every run starts from a fresh one;
// the site's worker fills and updates it. Only the flags are read by other threads.
struct SiteRunState {
    std::atomic<bool> done{false};           // finished for this run (set once by finishSite)
    std::atomic<bool> started{false};        // launched or prepared by the run
    std::atomic<bool> stopRequested{false};  // "停止更新选定站点"
    int failStreak = 0;                      // consecutive failed submissions
    int updatedCount = 0;                    // articles published in this run
    int unknownCount = 0;                    // submissions whose outcome is unknown (maybe published)
    int undeletedCount = 0;                  // published files 更新后删除 could not delete
    int skippedPublished = 0;                // files the back end holds already (the journal)
    content::ArticleList articles;           // the listed files, how many were taken, the picker
    int articleCount = 0;                    // files listed (kept after the list is released)
    bool listed = false;                     // the list and pools were read (a re-login keeps them)
    content::SitePools pools;                // the site's word lists and their pickers
    // Categories to regenerate at the end: 栏目ID, then each published article's category.
    std::vector<int> refreshCategories;
    content::ArticleDraft current;                // the article being published, with its picks
    std::vector<std::string> currentPictures;     // its uploaded pictures, for the live check
    backend::ArticleTracking tracking;            // the back end's ledger entry, for the look-ups
    std::vector<backend::LiveArticle> published;  // the run's published articles, for the live check
    backend::MadePages made;                      // what the end-of-site regeneration made
    backend::LiveCheckReport live;                // the live check's outcome (all 0 when it did not run)
};

}  // namespace oz::engine
