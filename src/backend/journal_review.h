#pragma once

#include <string>

#include "backend/admin_session.h"
#include "backend/article_lookup.h"
#include "backend/backend_context.h"

// Nothing is sent again before it is looked up: at the start of a site's work, the journal's
// entries of its back end whose outcome is not known (a run stopped or killed while the answer was
// unknown), and those counted not stored within the last day (a back end may store an article
// after the settling time), are looked for on the site first.
namespace oz::backend {

struct JournalReview {
    int found = 0;       // on the site after all: now counted published
    int notFound = 0;    // not on the site: free to send
    int unresolved = 0;  // the site could not tell: the file is not sent in this run
};

// Looks up each entry the journal hands out for tracking's back end. Found: published in the
// journal, counted in the ledger, its address recorded, and the log line
// "上次结果未知的文章已在站点上：标题". Not found: cleared. Unknown: it stays unknown, and the log says so.
JournalReview reviewJournal(AdminSession& session, const BackendContext& context, ArticleTracking& tracking,
                            int siteIndex);

}  // namespace oz::backend
