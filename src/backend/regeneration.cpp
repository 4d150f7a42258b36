#include "backend/regeneration.h"

#include <algorithm>

#include "backend/answer_reader.h"
#include "backend/backend_family.h"
#include "backend/date_text.h"
#include "backend/html_elements.h"
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
constexpr int kChildListPages = 30;
// Ends the line of a loop that met an answer which is neither a progress page nor the end.
constexpr const char* kNotAProgressPage = "（后台的回答既不是进度页也不是完成页）";

bool contains(const std::string& text, std::string_view piece) {
    return text.find(piece) != std::string::npos;
}

// The end texts of the list action.
bool listFinished(const std::string& answer, const BackendFamily& family) {
    for (std::string_view done : family.listDone) {
        if (!done.empty() && contains(answer, done)) return true;
    }
    return false;
}

// A page of the list action that made a category and goes on.
bool listProgress(const std::string& answer, const BackendFamily& family) {
    return contains(answer, family.listProgress);
}

// The RSS action: a page that wrote a file, and the end of all files.
bool rssProgress(const std::string& answer) { return contains(answer, "成功更新"); }
bool rssFinished(const std::string& answer) { return contains(answer, "完成所有文件更新！"); }

// The number of the RSS file an answer of the RSS action names ("/data/rss/12.xml" gives 12).
int rssFileNumber(const std::string& answer) {
    return content::lenientInt(text::textBetween(answer, "/", ".xml", /*nearestBeforeEnd=*/true));
}

// The category a list-action page made, or "结束".
std::string createdCategory(const std::string& answer, const BackendFamily& family) {
    std::string name = text::textBetween(answer, family.listMadeStart, family.listMadeEnd);
    return name.empty() ? "结束" : name;
}

std::string allListPageUrl(const config::SiteConfig& site, const std::string& typeId, int page) {
    return backEndBaseUrl(site) +
           "/makehtml_list_action.php?gotype=&uppage=0&maxpagesize=50&typeid=" + typeId +
           "&pageno=" + std::to_string(page);
}

// Logs `line` unless the request was cut off by the abort flag: a line tells what the back end
// answered, never what an aborted request would have done.
void logUnlessAborted(const BackendContext& context, int siteIndex, const std::string& line) {
    if (!context.aborted()) context.logLine(siteIndex, line);
}

// Pages through the list action of `typeId` (0: all categories) until its end text. An answer that
// is neither a progress page nor the end (a login page, an error page, a failed request), the
// abort flag or `maxPages` end it as well. `onPage` sees the page count and each answer that
// was a progress page or the end; `onStray` each other answer, unless the abort flag cut it off.
// Returns the number of pages requested.
template <typename OnPage, typename OnStray>
int pageCategoryLists(AdminSession& session, const BackendContext& context, const std::string& typeId,
                      int maxPages, OnPage onPage, OnStray onStray) {
    const BackendFamily& family = familyOf(session);
    std::string answer;
    int pages = 0;
    while (!listFinished(answer, family) && pages < maxPages) {
        answer = getPage(session, context, allListPageUrl(session.site, typeId, pages));
        ++pages;
        if (context.aborted()) break;
        if (!listFinished(answer, family) && !listProgress(answer, family)) {
            onStray(answer);
            break;
        }
        onPage(pages, answer);
    }
    return pages;
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
                     bool perArticle) {
    const RunSettings& settings = context.options();
    const BackendFamily& family = familyOf(session);
    std::string base = backEndBaseUrl(session.site);
    std::string idText = std::to_string(id);
    if (!(settings.htmlAllCategories() && !perArticle)) {
        std::string answer;
        bool refreshed = false;
        for (int attempt = 0; attempt < kListAttempts && !refreshed; ++attempt) {
            answer = getPage(session, context,
                             base + "/makehtml_list_action.php?maxpagesize=50&upnext=1&typeid=" + idText,
                             siteAnswerDecoding(session.site));
            if (context.aborted()) return false;
            refreshed = listFinished(answer, family) || listProgress(answer, family);
        }
        context.logLine(siteIndex, (refreshed ? "已刷新栏目页 " : "刷新栏目页失败 ") + idText);
        if (settings.refreshChildCategories() && !listFinished(answer, family)) {
            pageCategoryLists(
                session, context, idText, kChildListPages,
                [&](int, const std::string& page) {
                    context.logLine(siteIndex, "!已刷新子级栏目页 " + createdCategory(page, family));
                },
                [&](const std::string&) {
                    context.logLine(siteIndex, "!刷新子级栏目页中断 " + idText + kNotAProgressPage);
                });
            if (context.aborted()) return false;
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

void regenerateSite(AdminSession& session, const BackendContext& context, const std::vector<int>& categoryIds,
                    int siteIndex, bool perArticle) {
    if (context.options().customRefresh(CustomRefresh::SystemCache)) {
        followProgressPages(session, context, "sys_cache_up.php?dopost=ok", siteIndex, "刷新Kivra系统缓存");
        if (context.aborted()) return;
    }
    if (!refreshRssOfAllCategories(session, context, siteIndex, perArticle)) return;
    if (context.options().htmlAllCategories() && !perArticle) {
        pageCategoryLists(
            session, context, "0", context.limits.allCategoryListPages,
            [&](int, const std::string& answer) {
                context.logLine(siteIndex, "!已刷新栏目页 " + createdCategory(answer, familyOf(session)));
            },
            [&](const std::string&) {
                context.logLine(siteIndex, std::string("!刷新栏目页中断") + kNotAProgressPage);
            });
        if (context.aborted()) return;
    }
    for (int id : categoryIds) {
        if (!refreshCategory(session, context, id, siteIndex, perArticle)) return;
    }
    std::string homePageFailure;
    refreshHomePage(session, context, std::nullopt, std::nullopt, &homePageFailure);
    if (context.aborted()) return;
    context.logLine(siteIndex, homePageFailure.empty()
                                   ? std::string("刷新主页(含rss、xml地图)")
                                   : "刷新主页失败" + reasonInParentheses(homePageFailure));
    runCustomRefreshItems(session, context, siteIndex);
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
    const bool made = text::findNoCase(answer.text, family.homePageMade) != std::string_view::npos;
    if (!made && whyFailed != nullptr) *whyFailed = readActionAnswer(answer, family.homePageMade).reason;
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

int refreshAllLists(AdminSession& session, const BackendContext& context,
                    const std::function<void(const std::string& title)>& progress) {
    int pages = pageCategoryLists(
        session, context, "0", context.limits.allCategoryListPages,
        [&](int page, const std::string&) {
            if (progress) progress(session.site.domain + " 已刷新栏目 " + std::to_string(page) + " 个");
        },
        [](const std::string&) {});
    refreshHomePage(session, context);
    return pages;
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
