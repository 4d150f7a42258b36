#include "backend/regeneration.h"

#include <algorithm>

#include "backend/answer_reader.h"
#include "backend/backend_family.h"
#include "backend/date_text.h"
#include "backend/html_elements.h"
#include "backend/list_chain.h"
#include "backend/progress_pages.h"
#include "backend/url_encoding.h"
#include "content/text_lines.h"
#include "text/characters.h"
#include "text/cleaning.h"
#include "text/markers.h"

namespace oz::backend {
namespace {

constexpr int kRssLoopLimit = 10000;
constexpr int kListAttempts = 3;
constexpr int kRssAttempts = 3;
// After each article, the first list pages of its category are made: the new article shows there.
constexpr const char* kFirstListPages = "2";
// Ends the line of a loop that met an answer which is neither a progress page nor the end.
constexpr const char* kNotAProgressPage = "（后台的回答既不是进度页也不是完成页）";

bool contains(const std::string& text, std::string_view piece) {
    return text.find(piece) != std::string::npos;
}

// The RSS action: a page that wrote a file, and the end of all files.
bool rssProgress(const std::string& answer) { return contains(answer, "成功更新"); }
bool rssFinished(const std::string& answer) { return contains(answer, "完成所有文件更新！"); }

// The number of the RSS file an answer of the RSS action names ("/data/rss/12.xml" gives 12).
int rssFileNumber(const std::string& answer) {
    return content::lenientInt(text::textBetween(answer, "/", ".xml", /*nearestBeforeEnd=*/true));
}

// "（第 51–100 页）" for a chunk of a category's list pages; "（第 1001 页起）" for the rest of one
// made in chunks; nothing for a category made at once.
std::string pageRange(const ListStep& step) {
    if (step.lastPage > 0) {
        return "（第 " + std::to_string(step.firstPage) + "–" + std::to_string(step.lastPage) + " 页）";
    }
    return step.firstPage > 1 ? "（第 " + std::to_string(step.firstPage) + " 页起）" : std::string();
}

// The category a step of a chain made, or "结束" for the step that only ended the chain.
std::string madeCategory(const ListStep& step) { return step.category.empty() ? "结束" : step.category; }

// The list pages of every category, the chain followed to its end.
ListChainResult refreshEveryList(AdminSession& session, const BackendContext& context,
                                 const std::function<void(const ListStep&)>& onStep) {
    ListChainOptions options;
    options.maxRequests = context.limits.allCategoryListPages;
    return followListChain(session, context,
                           "makehtml_list_action.php?gotype=&uppage=0&maxpagesize=50&typeid=0&pageno=0",
                           options, onStep);
}

// Logs `line` unless the request was cut off by the abort flag: a line tells what the back end
// answered, never what an aborted request would have done.
void logUnlessAborted(const BackendContext& context, int siteIndex, const std::string& line) {
    if (!context.aborted()) context.logLine(siteIndex, line);
}

// False when the abort flag ended the work.
bool refreshRssOfAllCategories(AdminSession& session, const BackendContext& context, int siteIndex,
                               bool perArticle) {
    if (!familyOf(session).rssPages) return true;
    std::string base = backEndBaseUrl(session.site);
    std::string answer = getPage(session, context, base + "/makehtml_rss_action.php?maxrecord=50");
    if (context.aborted()) return false;
    int t = rssFileNumber(answer);
    if (!context.options().rssAllCategories() || perArticle || t < 1) return true;
    for (int n = 0; !rssFinished(answer);) {
        answer = getPage(session, context,
                         base + "/makehtml_rss_action.php?tid=" + std::to_string(t) +
                             "&maxrecord=50&isremote=0&serviterm=");
        if (!rssProgress(answer) && !rssFinished(answer)) {
            logUnlessAborted(context, siteIndex, "!刷新RSS页中断 " + std::to_string(t) + kNotAProgressPage);
            break;
        }
        context.logLine(siteIndex, "!已刷新RSS页 " + std::to_string(t));
        t = rssFileNumber(answer);
        ++n;
        if (n > kRssLoopLimit || t < 1 || context.aborted()) break;
    }
    return !context.aborted();
}

// False when the abort flag ended the work.
bool refreshCategory(AdminSession& session, const BackendContext& context, int id, int siteIndex,
                     bool perArticle, MadePages& made) {
    const RunSettings& settings = context.options();
    const BackendFamily& family = familyOf(session);
    std::string base = backEndBaseUrl(session.site);
    std::string idText = std::to_string(id);
    if (!(settings.htmlAllCategories() && !perArticle)) {
        ListChainOptions options;
        options.attempts = kListAttempts;
        options.firstAnswerDecoding = siteAnswerDecoding(session.site);
        std::string url;
        if (perArticle) {
            // The whole lists follow when the site's run ends.
            url = std::string("makehtml_list_action.php?maxpagesize=") + kFirstListPages +
                  "&upnext=0&typeid=" + idText;
            options.maxRequests = kListAttempts;
            options.firstStepOnly = true;
        } else {
            url = "makehtml_list_action.php?maxpagesize=50&upnext=1&typeid=" + idText;
            options.maxRequests = context.limits.progressPages;
            options.firstCategoryOnly = !settings.refreshChildCategories();
        }
        bool ownCategory = true;  // the chain goes on to the child categories after it
        const ListChainResult chain =
            followListChain(session, context, url, options, [&](const ListStep& step) {
                if (ownCategory) {
                    context.logLine(siteIndex, "已刷新栏目页 " + idText + pageRange(step));
                    if (step.categoryDone && !step.address.empty()) {
                        const std::string first = firstListPageAddress(session.site, step.address);
                        if (!first.empty()) made.firstListPages[id] = first;
                    }
                    ownCategory = !step.categoryDone;
                } else {
                    context.logLine(siteIndex, "!已刷新子级栏目页 " + madeCategory(step) + pageRange(step));
                }
            });
        if (context.aborted()) return false;
        if (!chain.complete) {
            context.logLine(siteIndex, (ownCategory ? "刷新栏目页失败 " : "!刷新子级栏目页中断 ") + idText +
                                           reasonInParentheses(chain.failure));
        }
    }
    if (family.rssPages && !(settings.rssAllCategories() && !perArticle)) {
        std::string tid = std::to_string(static_cast<long long>(id) - 1);
        bool refreshed = false;
        for (int attempt = 0; attempt < kRssAttempts && !refreshed; ++attempt) {
            std::string answer =
                getPage(session, context,
                        base + "/makehtml_rss_action.php?tid=" + tid + "&maxrecord=50&isremote=0&serviterm=");
            if (context.aborted()) return false;
            refreshed = rssProgress(answer);
        }
        context.logLine(siteIndex, (refreshed ? "已刷新RSS页 " : "刷新RSS页失败 ") + idText);
    }
    return true;
}

void runCustomRefreshItems(AdminSession& session, const BackendContext& context, int siteIndex) {
    const RunSettings& settings = context.options();
    std::string base = backEndBaseUrl(session.site);
    // Each item is one step; after an abort none is sent or logged.
    auto item = [&](CustomRefresh which, const std::function<void()>& step) {
        if (!context.aborted() && settings.customRefresh(which)) step();
    };
    auto getAndLog = [&](const std::string& page, const std::string& line) {
        getPage(session, context, base + page);
        logUnlessAborted(context, siteIndex, line);
    };
    item(CustomRefresh::XmlMapModule,
         [&] { getAndLog("/map.php?dopost=save&x=sitemap", "刷新KivraXML地图【模块】"); });
    item(CustomRefresh::XmlMap, [&] {
        regenerateMapPage(session, context, "/makehtml_xmlpage.php", "刷新KivraXML地图", siteIndex);
    });
    item(CustomRefresh::TxtMap, [&] {
        regenerateMapPage(session, context, "/makehtml_txtpage.php", "刷新KivraTXT地图", siteIndex);
    });
    item(CustomRefresh::StaticTags, [&] {
        getAndLog("/makehtml_tag_action_index.php?typeid=0&all=0&maxpagesize=50", "刷新Kivra静态TAG首页");
    });
    item(CustomRefresh::SinglePages,
         [&] { getAndLog("/templets_one_edit.php?dopost=mkall", "刷新Kivra单页文档"); });
    item(CustomRefresh::FreeLists, [&] {
        followProgressPages(session, context, "makehtml_freelist_action.php?startid=&endid=&pagesize=100",
                            siteIndex, "刷新Kivra自由列表");
    });
    item(CustomRefresh::SiteMapHtml, [&] {
        getAndLog(
            "/makehtml_sitemap.php?dopost=make&maps%5B%5D=sitemap.html&maps%5B%5D=sitemap.txt"
            "&maps%5B%5D=sitemap.xml&maps%5B%5D=google.xml&maps%5B%5D=rss.xml",
            "刷新Belmo网站地图HTML");
    });
}

}  // namespace

MadePages regenerateSite(AdminSession& session, const BackendContext& context,
                         const std::vector<int>& categoryIds, int siteIndex, bool perArticle) {
    MadePages made;
    if (context.options().customRefresh(CustomRefresh::SystemCache)) {
        followProgressPages(session, context, "sys_cache_up.php?dopost=ok", siteIndex, "刷新Kivra系统缓存");
        if (context.aborted()) return made;
    }
    if (!refreshRssOfAllCategories(session, context, siteIndex, perArticle)) return made;
    if (context.options().htmlAllCategories() && !perArticle) {
        const ListChainResult chain = refreshEveryList(session, context, [&](const ListStep& step) {
            context.logLine(siteIndex, "!已刷新栏目页 " + madeCategory(step) + pageRange(step));
        });
        if (context.aborted()) return made;
        if (!chain.complete)
            context.logLine(siteIndex, "!刷新栏目页中断" + reasonInParentheses(chain.failure));
    }
    for (int id : categoryIds) {
        if (!refreshCategory(session, context, id, siteIndex, perArticle, made)) return made;
    }
    std::string homePageFailure;
    refreshHomePage(session, context, std::nullopt, std::nullopt, &homePageFailure);
    if (context.aborted()) return made;
    made.homePage = true;
    context.logLine(siteIndex, homePageFailure.empty()
                                   ? std::string("刷新主页(含rss、xml地图)")
                                   : "刷新主页失败" + reasonInParentheses(homePageFailure));
    runCustomRefreshItems(session, context, siteIndex);
    return made;
}

bool refreshHomePage(AdminSession& session, const BackendContext& context,
                     const std::optional<std::string>& position, const std::optional<std::string>& templet,
                     std::string* whyFailed) {
    const config::SiteConfig& site = session.site;
    const BackendFamily& family = familyOf(session);
    std::string base = backEndBaseUrl(site);
    int decoding = siteAnswerDecoding(site);
    std::string form = getPage(session, context, base + "/makehtml_homepage.php", decoding);
    std::string t = elementAttribute(findElement(form, "input", "name", "templet"), "value");
    std::string p = elementAttribute(findElement(form, "input", "name", "position"), "value");
    if (templet && !templet->empty()) t = *templet;
    if (position && !position->empty()) p = *position;
    // Each value is encoded on its own, so a templet or position holding "&" or "=" stays whole.
    bool utf8 = isUtf8Site(site);
    std::string body = "Submit=" + urlEncode("更新主页HTML", utf8) +
                       "&dopost=make&position=" + urlEncode(p, utf8) +
                       "&saveset=1&showmod=1&templet=" + urlEncode(t, utf8);
    const http::PageAnswer answer =
        requestPage(session, context, base + "/makehtml_homepage.php", body, decoding);
    // An error status is a failure, whatever its page says; a template the back end could not read
    // still gets its success text, over a page that shows only the fault.
    const std::string fault = templateFault(answer.text);
    const bool made = answer.ok && answer.status < 400 && fault.empty() &&
                      text::findNoCase(answer.text, family.homePageMade) != std::string_view::npos;
    if (!made && whyFailed != nullptr) {
        *whyFailed = fault.empty() ? readActionAnswer(answer, {}).reason : fault;
        if (whyFailed->empty()) *whyFailed = "后台没有回答“" + std::string(family.homePageMade) + "”";
    }
    if (position || templet) return made;
    if (!family.mapPages) return true;
    getPage(session, context, base + "/makehtml_map.php?dopost=site", decoding);
    getPage(session, context, base + "/makehtml_map.php?dopost=rss", decoding);
    return true;
}

std::string oneKeyPageText(const std::string& answer) {
    text::MarkerPosition position;
    std::size_t box = std::string::npos;
    for (const BackendFamily* family : kFamilies) box = std::min(box, answer.find(family->messageBox));
    if (box != std::string::npos) {
        position.offset = box;
    } else {
        text::textBetween(answer, "document.write(", ")", position);
        text::textBetween(answer, "document.write(", ")", position);
    }
    std::string message =
        text::removeTagSpans(text::textBetween(answer, "document.write(''", "'')", position));
    std::erase_if(message, [](char c) { return c == '\r' || c == '\n'; });
    return message;
}

int oneKeyUpdate(AdminSession& session, const BackendContext& context, int siteIndex) {
    if (!context.options().oneClickUpdate()) return 0;
    context.logLine(siteIndex, "开始执行dede选项(一键更新网站)");
    std::string base = backEndBaseUrl(session.site);
    std::string next;
    std::string message;
    int pages = 0;
    while (pages < context.limits.oneKeyUpdatePages && !context.aborted()) {
        std::string answer;
        if (next.empty() && message.empty()) {
            answer =
                postPage(session, context, base + "/makehtml_all.php",
                         "action=make&uptype=mkall&starttime=" + dateText(context.clockOrSystem().now()) +
                             "&startid=0&Submit=%E5%BC%80%E5%A7%8B%E6%9B%B4%E6%96%B0");
        } else {
            answer = getPage(session, context, base + "/" + next);
        }
        ++pages;
        if (context.aborted()) break;
        next = text::textBetween(answer, "location='", "'");
        message = oneKeyPageText(answer);
        context.logLine(siteIndex, message);
        if (message == familyOf(session).allDone || next == "javascript:;" || message.empty() || next.empty())
            break;
    }
    return pages;
}

ListRefresh refreshAllLists(AdminSession& session, const BackendContext& context,
                            const std::function<void(const std::string& title)>& progress) {
    ListRefresh refresh;
    const ListChainResult chain = refreshEveryList(session, context, [&](const ListStep& step) {
        if (step.categoryDone) ++refresh.categories;
        if (progress)
            progress(session.site.domain + " 已刷新栏目 " + std::to_string(refresh.categories) + " 个");
    });
    refresh.listsComplete = chain.complete;
    refresh.listFailure = chain.failure;
    if (context.aborted()) return refresh;
    refreshHomePage(session, context, std::nullopt, std::nullopt, &refresh.homePageFailure);
    refresh.homePageMade = refresh.homePageFailure.empty() && !context.aborted();
    return refresh;
}

void regenerateMapPage(AdminSession& session, const BackendContext& context, const std::string& pagePath,
                       const std::string& logText, int siteIndex) {
    std::string base = backEndBaseUrl(session.site);
    std::string form = getPage(session, context, base + pagePath);
    std::string t = elementAttribute(findElement(form, "input", "id", "templet"), "value");
    std::string p = elementAttribute(findElement(form, "input", "id", "position"), "value");
    if (t.empty() || context.aborted()) return;
    postPage(session, context, base + "/makehtml_homepage.php",
             "dopost=make&templet=" + gbkFormEncode(t) + "&position=" + gbkFormEncode(p) +
                 "&showmod=1&Submit=%B8%FC%D0%C2xml%B5%D8%CD%BC");
    logUnlessAborted(context, siteIndex, logText);
}

}  // namespace oz::backend
