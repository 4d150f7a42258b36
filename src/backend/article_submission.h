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
    Unknown,    // it may be on the site: it is never sent again, and its file stays
};

struct SubmitResult {
    SubmitOutcome outcome = SubmitOutcome::Failed;
    std::string address;  // the new article's address (published or confirmed)
    // Confirmed: what the answer was ("HTTP 504，网关超时"); Failed and Unknown: why, in the back
    // end's own words where it gave them ("你所选择的栏目与当前模型不相符，请选择白色的选项！").
    std::string reason;

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
//   against `mark`, read from the list before the post when it is not known): found means
//   confirmed, not found failed, and a lookup that cannot tell leaves it unknown. Without a mark,
//   or when the abort flag cut the request off, it stays unknown.
// A published or confirmed article's address goes to the run's address record
// (context.addressRecords) and the site's failure record of the title is removed; the success
// page's checked custom-refresh follow-ups run ("下篇文档": the 200px progress frame; "静态TAG":
// every 40px frame). A failed one keeps the answer (or its reason) as the site's failure record,
// an unknown one a record that says so. Logs the characters that plain-text fields left out (the
// site's charset lacks them) and the follow-ups; the caller logs the outcome.
SubmitResult submitArticle(AdminSession& session, const BackendContext& context, content::ArticleDraft& draft,
                           content::SitePools& pools, int siteIndex, ArticleMark* mark = nullptr);

// The address of the new article: scheme + "://" + the site's host + the href of the link that
// carries the family's article link text ("<u>查看文章</u>", DedeBIZ's "浏览文档"; single or double
// quotes), or that href when it is a whole URL; empty when the answer has no such link.
std::string articleAddress(const config::SiteConfig& site, const std::string& answer,
                           const BackendFamily& family);

}  // namespace oz::backend
