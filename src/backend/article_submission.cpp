#include "backend/article_submission.h"

#include "backend/article_form.h"
#include "backend/progress_pages.h"
#include "backend/records.h"
#include "content/insertion.h"
#include "text/markers.h"

namespace oz::backend {
namespace {

constexpr const char* kNextArticleFrame =
    "<iframe name='stafrm' frameborder='0' id='stafrm' width='100%' height='200px' src='";
constexpr const char* kTagFrame =
    "<iframe name='stafrm' frameborder='0' id='stafrm' width='100%' height='40px' src='";
constexpr const char* kFrameEnd = "'></iframe>";
constexpr const char* kLeftOutStart = "已略去站点编码不支持的字符“";
constexpr const char* kLeftOutEnd = "”：";

// The two follow-ups the success page offers, each when its custom-refresh item is checked. They
// read the answer with one position that moves forward.
void runFollowUps(AdminSession& session, const BackendContext& context, const std::string& answer,
                  int siteIndex) {
    const RunSettings& settings = context.options();
    text::MarkerPosition position;
    if (settings.customRefresh(CustomRefresh::NextArticle)) {
        std::string src = text::textBetween(answer, kNextArticleFrame, kFrameEnd, position);
        if (!src.empty()) {
            followProgressPages(session, context, src, siteIndex, "刷新Kivra下篇文档");
        } else {
            position = {};  // a page without that frame may still carry the tag frames
        }
    }
    if (settings.customRefresh(CustomRefresh::StaticTags)) {
        std::string src = text::textBetween(answer, kTagFrame, kFrameEnd, position);
        if (src.empty()) return;
        context.logLine(siteIndex, "开始刷新Kivratag列表");
        while (!src.empty() && !context.aborted()) {
            context.logLine(siteIndex, src);
            followProgressPages(session, context, src, siteIndex, "");
            src = text::textBetween(answer, kTagFrame, kFrameEnd, position);
        }
        context.logLine(siteIndex, "结束刷新Kivratag列表");
    }
}

}  // namespace

std::string articleAddress(const config::SiteConfig& site, const std::string& answer) {
    std::string anchor = text::textBetween(answer, "<a", kArticleCreatedText, /*nearestBeforeEnd=*/true);
    if (anchor.empty()) return {};
    std::string href = text::textBetween(anchor, "href='", "'");
    if (href.empty()) href = text::textBetween(anchor, "href=''", "\"");
    return siteScheme(site) + "://" + siteHost(site) + href;
}

SubmitResult submitArticle(AdminSession& session, const BackendContext& context, content::ArticleDraft& draft,
                           content::SitePools& pools, int siteIndex) {
    const config::SiteConfig& site = session.site;
    content::applyInsertions(draft, site, pools);
    std::string leftOut;
    std::string body = formBody(buildArticleForm(draft, site, context), isUtf8Site(site), &leftOut);
    if (!leftOut.empty()) context.logLine(siteIndex, kLeftOutStart + leftOut + kLeftOutEnd + draft.title);
    double timeout = site.downloadRemoteImages ? 1000 : 120;
    SubmitResult result;
    if (context.aborted()) return result;  // nothing is sent
    const http::PageAnswer posted = requestPage(session, context, backEndBaseUrl(site) + "/article_add.php",
                                                body, siteAnswerDecoding(site), timeout);
    const std::string& answer = posted.text;

    if (answer.find(kArticleCreatedText) == std::string::npos) {
        result.outcomeUnknown = answer.empty() && context.aborted();
        if (result.outcomeUnknown) {
            writeUnknownOutcomeRecord(context.dataDir, draft.title, isUtf8Site(site));
        } else {
            result.failureReason = http::failureReason(posted);
            writeFailureRecord(context.dataDir, draft.title, answer, isUtf8Site(site));
        }
        return result;
    }
    result.success = true;
    result.address = articleAddress(site, answer);
    if (context.addressRecords != nullptr) {
        context.addressRecords->append(site, result.address, context.clockOrSystem().now());
    }
    runFollowUps(session, context, answer, siteIndex);
    return result;
}

}  // namespace oz::backend
