#pragma once

#include <string>

#include "backend/admin_session.h"
#include "backend/backend_context.h"
#include "content/article_draft.h"
#include "content/site_pools.h"

namespace oz::backend {

// The text of the back end's success page that confirms a new article.
inline constexpr const char* kArticleCreatedText = "<u>查看文章</u>";

struct SubmitResult {
    bool success = false;
    std::string address;        // the new article's address (success only)
    std::string failureReason;  // why the post failed on the way ("等待回应超时", ...); empty when answered
    // The abort flag cut the request off before the back end answered: the article may have been
    // stored or not. Its failure record says so.
    bool outcomeUnknown = false;

    explicit operator bool() const { return success; }
};

// `submitArticle`: publishes one article on a logged-in site. Applies the site's insertions to the
// draft's title and body (the caller sees the changed texts; a retry applies them again), draws
// the flags, summary and view count into the draft, posts the add-article form (time-out 1000 s
// when the back end downloads remote pictures, else 120 s) and tests the answer for
// "<u>查看文章</u>".
// Success: the article's address (from the answer's link) is appended to the run's address record
// (context.addressRecords), then the checked custom-refresh follow-ups run ("下篇文档": the 200px
// progress frame; "静态TAG": every 40px frame). Failure: the answer is kept as
// 更新失败记录/<safe title>.html. Logs the characters that plain-text fields left out (the site's
// charset lacks them) and the follow-ups; the caller logs the outcome.
SubmitResult submitArticle(AdminSession& session, const BackendContext& context, content::ArticleDraft& draft,
                           content::SitePools& pools, int siteIndex);

// The address of the new article: scheme + "://" + the site's host + the href of the link that
// carries "<u>查看文章</u>" (single or double quotes); empty when the answer has no such link.
std::string articleAddress(const config::SiteConfig& site, const std::string& answer);

}  // namespace oz::backend
