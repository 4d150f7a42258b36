#pragma once

#include <functional>
#include <string>

#include "backend/admin_session.h"
#include "backend/backend_context.h"
#include "backend/backend_family.h"

// The list action (makehtml_list_action.php) makes a category's list pages a chunk at a time
// (maxpagesize pages) and the categories of its list one after the other. Each answer but the last
// is a message page whose link continues the work: the same category's next chunk (its mkpage), or
// the next category (its pageno). The back end's own page follows those links to the end text.
namespace oz::backend {

// What one answer of the list action says.
struct ListAnswer {
    enum class Kind {
        Finished,  // the end text: nothing is left
        GoesOn,    // a continuation link
        Stray,     // anything else: a login page, an error page, a failed request
    };
    Kind kind = Kind::Stray;
    std::string next;  // GoesOn: the page the link names, relative to the back-end folder
    int nextListPage =
        0;  // GoesOn within a category: the first list page of its next chunk; 0: the next category
};
ListAnswer readListAnswer(const std::string& answer, const BackendFamily& family);

// What one request of a chain made.
struct ListStep {
    std::string
        category;       // the category the request worked on, as the answer names it ("" when it names none)
    int firstPage = 1;  // the first list page the request made
    int lastPage = 0;   // its last, when the category goes on; 0 when the request made the category's rest
    bool categoryDone = false;
    // The end answer's link to the list it made ("浏览栏目", DedeBIZ's "点击浏览"), as written; empty
    // when the answer has none.
    std::string address;
};

struct ListChainResult {
    int requests = 0;
    bool complete =
        false;  // it reached the end text, or the end of its first category when only that was asked
    std::string failure;  // why it stopped before (empty when it was complete or the abort flag cut it off)
};

struct ListChainOptions {
    int maxRequests = 1;             // a bound on the chain; a step past it is not requested
    bool firstCategoryOnly = false;  // end where the chain leaves its first category
    bool firstStepOnly = false;      // end after the first request that made something
    int attempts = 1;                // requests of a step whose answer is stray, in all
    int firstAnswerDecoding = http::kDecodeAuto;
};

// Requests `firstUrl` (relative to the back-end folder) and follows its continuation links as the
// back end's own page does, calling `onStep` after each request that made something. A stray answer
// is asked for again while `attempts` allow; a continuation is progress, never a failed attempt.
// Ends at the end text, at the end of the first category when asked, after maxRequests, on a stray
// answer, or when the context's abort flag is set.
ListChainResult followListChain(AdminSession& session, const BackendContext& context,
                                const std::string& firstUrl, const ListChainOptions& options,
                                const std::function<void(const ListStep&)>& onStep);

}  // namespace oz::backend
