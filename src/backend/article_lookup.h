#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "backend/admin_session.h"
#include "backend/backend_context.h"
#include "backend/backend_ledger.h"
#include "backend/send_journal.h"
#include "backend/stored_title.h"
#include "text/clock.h"

// Looking an article up in the back end's article list, to settle a submission whose answer did
// not say whether the article was stored: a gateway's 504 while PHP goes on, a connection dropped
// after the body went out, an answer that came too late.
namespace oz::backend {

// What a site record's submissions and look-ups keep of its back end for a run.
struct ArticleTracking {
    BackEndLedger* ledger = nullptr;  // the run's, shared by every record of the back end
    std::string backEnd;              // backEndKey of the site, its fingerprint once identified
    bool listUnreadable = false;      // the last read of the list failed
    std::string listReason{};         // why ("后台文章列表无法读取：...")
    bool identified = false;          // backEnd is the back end's fingerprint (or it has none)
    SendJournal* journal = nullptr;   // the run's; nullptr: nothing written
    std::string record{};             // the site record as the log names it, for the journal
    // The publish time of the site's latest submission in the run (toSerialSeconds; 0: none yet).
    std::int64_t lastPublishTime = 0;

    // The publish time of the next submission: `now`, or a second after the one before when `now`
    // is not later. Articles of one run on one site never share a publish time, so the back end's
    // lists (ordered by it) show them in one stable order.
    text::DateTime nextPublishTime(const text::DateTime& now);
};

// Makes sure the ledger knows the back end's newest article id (the mark): reads the list when it
// does not (twice when the first read fails; listReason says why it could not).
void readArticleMark(AdminSession& session, const BackendContext& context, ArticleTracking& tracking);

// How the site's back end stores titles: its charset, and its title length setting, read once per
// back end and run (the back end's system settings page; 60, its default, when it cannot be read).
TitleRules titleRules(AdminSession& session, const BackendContext& context, ArticleTracking& tracking);

enum class LookupResult {
    Found,     // a new article of that title and category is on the site
    NotFound,  // none: the article is not stored (yet)
    Unknown,   // the list could not be read, or a row cannot be told from another article
};

struct ArticleLookup {
    LookupResult result = LookupResult::Unknown;
    int id = 0;           // Found: the article's id
    std::string address;  // Found: its address
    std::string reason;   // Unknown: why
};

// Looks for the article that was sent as `sentTitle` into category `typeId`, with ticket `ticket`
// of the ledger, when the back end's newest id was `mark`. The list is searched by the start of
// the title as the back end stores it (content_list.php?channelid=1&keyword=...), page by page
// down to the mark, logging in again when the session is gone. A row is the article when its id
// is above the mark and counted for no other article of the run, its category (when the row names
// one) is typeId, and it shows the title as the back end lists the sent one (a row the list shows
// blank is compared on the article's edit page). When another article of the run that the ledger
// still holds unsettled would be stored and listed the same, the rows cannot be told apart: unknown.
// A found article's address comes from the back end's view link.
ArticleLookup findNewArticle(AdminSession& session, const BackendContext& context, std::string_view sentTitle,
                             int typeId, int mark, int ticket, ArticleTracking& tracking);

}  // namespace oz::backend
