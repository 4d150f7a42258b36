#pragma once

#include <string>

#include "backend/admin_session.h"
#include "backend/article_lookup.h"
#include "backend/backend_context.h"
#include "backend/backend_family.h"
#include "content/article_draft.h"
#include "content/site_pools.h"

namespace oz::backend {

enum class SubmitOutcome {
    Published,  // the back end's success page came back
    Confirmed,  // the answer said nothing trustworthy, and the article was found on the site
    Failed,     // nothing was stored (refused, never sent, or not on the site): it may be sent again
    Pending,    // the answer said nothing trustworthy and the site does not show it yet: settle it later
    Unknown,    // it may be on the site: it is never sent again, and its file stays
};

// An article whose answer said nothing trustworthy (a gateway's 504 while PHP goes on, a dropped
// connection, no answer in time) and that the site does not show yet. A back end stores such an
// article seconds or minutes later, so "not found" is no proof until it had time to finish: the
// caller parks it and settles it with settleArticle.
struct PendingArticle {
    std::string title;   // as the draft had it when it was sent
    std::string reason;  // what it was ("HTTP 504，网关超时")
    int typeId = 0;
    int mark = 0;            // the back end's newest article id before the article was sent
    int ticket = 0;          // the article's ticket in the run's ledger
    std::string journalKey;  // its entry in the journal; empty: none
};

struct SubmitResult {
    SubmitOutcome outcome = SubmitOutcome::Failed;
    std::string address;  // the new article's address (published or confirmed)
    // Confirmed and Pending: what the answer was ("HTTP 504，网关超时"); Failed and Unknown: why, in
    // the back end's own words where it gave them ("你所选择的栏目与当前模型不相符，请选择白色的选项！").
    std::string reason;
    PendingArticle pending;  // Pending: what settling it needs
    // Failed: the site's proxy could not be reached or refused the request; nothing was sent, and
    // the site's next articles would meet the same.
    bool proxyFailed = false;

    bool published() const {
        return outcome == SubmitOutcome::Published || outcome == SubmitOutcome::Confirmed;
    }
    explicit operator bool() const { return published(); }
};

// `submitArticle`: publishes one article on a logged-in site. Applies the site's insertions to the
// draft's title and body (the caller sees the changed texts; a retry applies them again), draws
// the flags, summary and view count into the draft and posts the add-article form once (time-out
// 1000 s when the back end downloads remote pictures, else 120 s; never sent twice by the
// transport). The answer is read for what it means:
// - the success page ("<u>查看文章</u>", DedeBIZ's "浏览文档" button): published;
// - a page of the back end without it, or a request that never reached the server: failed;
// - anything else once the body went out (a gateway's 504, a dropped connection, no answer in
//   time, a page not of the back end): the article is looked up on the site (findNewArticle,
//   against the back end's newest id before the post, kept in `tracking`'s ledger): found means
//   confirmed, anything else pending. Without tracking or a known newest id, or when the abort
//   flag cut the request off, it is unknown.
// A published or confirmed article's address goes to the run's address record
// (context.addressRecords) and the site's failure record of the title is removed; the success
// page's checked custom-refresh follow-ups run ("下篇文档": the 200px progress frame; "静态TAG":
// every 40px frame). A failed one keeps the answer (or its reason) as the site's failure record,
// an unknown one a record that says so. Logs the characters that plain-text fields left out (the
// site's charset lacks them) and the follow-ups; the caller logs the outcome.
SubmitResult submitArticle(AdminSession& session, const BackendContext& context, content::ArticleDraft& draft,
                           content::SitePools& pools, int siteIndex, ArticleTracking* tracking = nullptr);

enum class Settle {
    Again,  // its settling time goes on: not found, it stays pending
    Last,   // its settling time is over: not found, it is unknown and the next run looks it up first
    Stop,   // the site stops before its settling time is over: not found, its outcome is unknown
};

// Looks a pending article up again: found, it is confirmed and recorded as a published one.
// Otherwise as `settle` says; a look-up that cannot tell leaves it pending, or unknown at the last.
SubmitResult settleArticle(AdminSession& session, const BackendContext& context,
                           const PendingArticle& pending, int siteIndex, Settle settle,
                           ArticleTracking& tracking);

// Appends a published article's address to the site record's address file of the run. An address
// the file could not take goes to the log, so it is not simply gone.
void recordAddress(const BackendContext& context, const config::SiteConfig& site, int siteIndex,
                   const std::string& address);

// The address of the new article: scheme + "://" + the site's host + the href of the link that
// carries the family's article link text ("<u>查看文章</u>", DedeBIZ's "浏览文档"; single or double
// quotes), or that href when it is a whole URL; empty when the answer has no such link.
std::string articleAddress(const config::SiteConfig& site, const std::string& answer,
                           const BackendFamily& family);

}  // namespace oz::backend
