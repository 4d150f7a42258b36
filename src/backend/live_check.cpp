#include "backend/live_check.h"

#include <algorithm>
#include <array>
#include <limits>

#include "backend/answer_reader.h"
#include "backend/article_form.h"
#include "backend/backend_family.h"
#include "backend/stored_title.h"
#include "text/characters.h"
#include "text/cleaning.h"

namespace oz::backend {
namespace {

constexpr int kDefaultTitleMaxBytes = 60;  // the back end's own default, as the article look-up takes it
constexpr int kFaultTextChars = 160;
constexpr std::size_t kFaultPageBytes = 1024;

// How a back end's pages say that a template could not be read: the template engine's stand-in
// text for a missing file (DedeTagParse::LoadTemplate, every release), and the list and article
// classes' message (DedeBIZ: "主题模板文件不存在").
constexpr std::array<std::string_view, 3> kTemplateFaults = {"Not Found!", "模板文件不存在",
                                                             "Template Not Found"};

std::string trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return std::string(text);
}

// The address without scheme and host, as a page links it ("/a/news/12.html").
std::string pathOf(const std::string& address) {
    const std::size_t scheme = address.find("://");
    if (scheme == std::string::npos) return address;
    const std::size_t slash = address.find('/', scheme + 3);
    return slash == std::string::npos ? std::string("/") : address.substr(slash);
}

std::string contentType(const http::PageAnswer& answer) {
    std::size_t at = text::findNoCase(answer.headers, "content-type:");
    if (at == std::string::npos) return {};
    at += 13;
    const std::size_t end = answer.headers.find('\r', at);
    return trimmed(std::string_view(answer.headers).substr(at, end == std::string::npos ? end : end - at));
}

// Why the visitor's page is not right: the transport, the status, a template fault; empty when
// it arrived with 200 and no fault.
std::string pageFailure(const http::PageAnswer& answer) {
    if (!answer.ok) return http::failureReason(answer);
    if (answer.status != 200) return "HTTP " + std::to_string(answer.status);
    return templateFault(answer.text);
}

// Does the page show the title as the back end stores it? The title may be cut by the back end's
// length setting, which the check does not ask for: the run's known setting (or the default) and
// no cut at all are both taken.
bool showsTitle(const std::string& page, const std::string& sent, const config::SiteConfig& site,
                const BackendFamily& family, const ArticleTracking* tracking) {
    TitleRules rules;
    rules.gbk = !isUtf8Site(site);
    rules.columnChars = family.titleColumnChars;
    rules.fixedWidthColumn = family.titleColumnFixed;
    rules.cleaning = family.listCleaning;
    rules.maxBytes = kDefaultTitleMaxBytes;
    if (tracking != nullptr && tracking->ledger != nullptr) {
        rules.maxBytes = tracking->ledger->titleMaxBytes(tracking->backEnd).value_or(kDefaultTitleMaxBytes);
    }
    const std::string visible = text::decodeEntities(page);
    for (int maxBytes : {rules.maxBytes, std::numeric_limits<int>::max() / 8}) {
        rules.maxBytes = maxBytes;
        const std::string title = trimmed(text::decodeEntities(storedTitle(sent, rules)));
        if (!title.empty() && visible.find(title) != std::string::npos) return true;
    }
    return false;
}

}  // namespace

std::string templateFault(std::string_view page) {
    // The whole page is the fault: the template engine parses its stand-in text in place of the
    // template, and the classes echo their message and exit. A page of the site that merely
    // mentions such a text is longer and has markup.
    const std::string text = trimmed(page);
    if (text.size() > kFaultPageBytes || text.find('<') != std::string::npos) return {};
    for (std::string_view fault : kTemplateFaults) {
        if (text.find(fault) != std::string::npos) return text::leftChars(text, kFaultTextChars);
    }
    return {};
}

std::string firstListPageAddress(const config::SiteConfig& site, std::string_view href) {
    std::string address = trimmed(href);
    if (address.empty() || address.find(".php") != std::string::npos) return {};
    if (address.starts_with("../")) {
        address = installUrl(site, address.substr(3));
    } else if (address.starts_with("/")) {
        address = siteOrigin(site) + address;
    } else if (address.find("://") == std::string::npos) {
        address = backEndBaseUrl(site) + "/" + address;
    }
    // "list_2_3.html": the third page of category 2's list; its first is "list_2_1.html".
    const std::size_t name = address.rfind('/') + 1;
    if (address.compare(name, 5, "list_") == 0) {
        const std::size_t dot = address.rfind('.');
        const std::size_t underscore = address.rfind('_', dot);
        if (dot != std::string::npos && underscore != std::string::npos && underscore > name + 4) {
            address.replace(underscore + 1, dot - underscore - 1, "1");
        }
    }
    return address;
}

LiveCheckReport checkLive(AdminSession& session, const BackendContext& context,
                          const std::vector<LiveArticle>& articles, const MadePages& made, int siteIndex,
                          const ArticleTracking* tracking) {
    const config::SiteConfig& site = session.site;
    const BackendFamily& family = familyOf(session);
    const int decoding = siteAnswerDecoding(site);
    LiveCheckReport report;
    const auto fetch = [&](const std::string& address) {
        ++report.requests;
        return requestPage(session, context, address, {}, decoding);
    };
    const auto warn = [&](const std::string& what, const std::string& reason, const std::string& address) {
        context.logLine(siteIndex, "前台检查未通过：" + what + reasonInParentheses(reason) + " " + address);
    };
    // The newest article of each category with a list page to look at (the run's order is the
    // order of publishing).
    std::map<int, std::size_t> newest;
    for (std::size_t i = 0; i < articles.size(); ++i) {
        if (made.firstListPages.contains(articles[i].typeId)) newest[articles[i].typeId] = i;
    }
    const bool utf8 = isUtf8Site(site);
    for (std::size_t i = 0; i < articles.size() && !context.aborted(); ++i) {
        const LiveArticle& article = articles[i];
        std::string reason;
        std::string where = article.address;
        if (article.address.empty()) {
            reason = "后台未给出文章地址";
        } else {
            const http::PageAnswer page = fetch(article.address);
            reason = pageFailure(page);
            if (reason.empty() &&
                !showsTitle(page.text, plainFieldAsSent(article.title, utf8), site, family, tracking)) {
                reason = "页面中没有文章标题";
            }
        }
        for (const std::string& picture : article.pictures) {
            if (!reason.empty() || context.aborted()) break;
            const http::PageAnswer answer =
                fetch(picture.starts_with("/") ? siteOrigin(site) + picture : picture);
            std::string failure = answer.ok ? std::string() : http::failureReason(answer);
            if (failure.empty() && answer.status != 200) failure = "HTTP " + std::to_string(answer.status);
            if (failure.empty() && !contentType(answer).starts_with("image/")) failure = "不是图片";
            if (!failure.empty()) {
                reason = "图片无法显示：" + picture + "，" + failure;
                where = picture;
            }
        }
        const auto list = made.firstListPages.find(article.typeId);
        if (reason.empty() && list != made.firstListPages.end() && newest[article.typeId] == i &&
            !context.aborted()) {
            const http::PageAnswer page = fetch(list->second);
            reason = pageFailure(page);
            if (reason.empty() && !article.address.empty() &&
                page.text.find(pathOf(article.address)) == std::string::npos) {
                reason = "栏目列表页中没有本文";
            }
            if (!reason.empty()) where = list->second;
        }
        if (context.aborted()) break;
        if (reason.empty()) {
            ++report.confirmed;
        } else {
            ++report.failed;
            warn(article.title, reason, where);
        }
    }
    if (made.homePage && !context.aborted()) {
        const std::string home = installUrl(site, "");
        const http::PageAnswer page = fetch(home);
        std::string reason = pageFailure(page);
        if (reason.empty() && messagePageText(page.text)) reason = "主页是后台的提示页";
        if (!context.aborted() && !reason.empty()) {
            report.homePageFailed = true;
            warn("主页", reason, home);
        }
    }
    if (!context.aborted()) {
        context.logLine(siteIndex, "前台确认 " + std::to_string(report.confirmed) + " 篇，未通过 " +
                                       std::to_string(report.failed) + " 篇");
    }
    return report;
}

}  // namespace oz::backend
