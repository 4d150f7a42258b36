#include "backend/article_lookup.h"

#include <algorithm>
#include <vector>

#include "backend/answer_reader.h"
#include "backend/backend_family.h"
#include "backend/url_encoding.h"
#include "text/characters.h"
#include "text/cleaning.h"

namespace oz::backend {
namespace {

constexpr int kKeywordChars = 10;
constexpr std::string_view kStopChars = "&<>\"'\\";

std::string listUrl(const config::SiteConfig& site, std::string_view keyword) {
    return backEndBaseUrl(site) +
           "/content_list.php?channelid=1&keyword=" + urlEncode(keyword, isUtf8Site(site));
}

struct ListReading {
    std::optional<std::vector<ListedArticle>> rows;
    std::string reason;  // when rows is empty
};

// The list for the keyword; a list that does not come (the session is gone: a login page or a
// message) is asked for once more after a new login.
ListReading readList(AdminSession& session, const BackendContext& context, std::string_view keyword) {
    ListReading reading;
    for (int attempt = 1; attempt <= 2 && !context.aborted(); ++attempt) {
        const http::PageAnswer answer = requestPage(session, context, listUrl(session.site, keyword), {},
                                                    siteAnswerDecoding(session.site));
        reading.rows = readArticleList(answer.text);
        if (reading.rows) return reading;
        reading.reason = readActionAnswer(answer, {}).reason;
        if (!answer.ok || attempt == 2) break;
        std::string whyNot;
        if (!login(session, context, &whyNot)) {
            reading.reason = "重新登录失败：" + whyNot;
            break;
        }
    }
    reading.reason =
        "后台文章列表无法读取：" + (reading.reason.empty() ? std::string("请求已中止") : reading.reason);
    return reading;
}

std::string articleAddressOf(AdminSession& session, const BackendContext& context, int id) {
    const config::SiteConfig& site = session.site;
    const std::string page =
        getPage(session, context,
                backEndBaseUrl(site) + "/archives_do.php?aid=" + std::to_string(id) + "&dopost=viewArchives",
                siteAnswerDecoding(site));
    std::string address = viewedArticleAddress(page);
    if (address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0) return address;
    if (address.rfind('/', 0) == 0) return siteScheme(site) + "://" + siteHost(site) + address;
    // The dynamic view page serves every article, made into a static page or not.
    return siteScheme(site) + "://" + site.domain + "/" + installPrefix(site) +
           std::string(familyOf(session).dynamicView) + "?aid=" + std::to_string(id);
}

}  // namespace

std::string titleSearchKeyword(std::string_view title) {
    std::string keyword;
    std::size_t at = 0;
    for (int n = 0; n < kKeywordChars && at < title.size(); ++n) {
        const std::size_t next = text::nextChar(title, at);
        const std::string_view character = title.substr(at, next - at);
        if (character.size() == 1 && kStopChars.find(character[0]) != std::string_view::npos) break;
        keyword += character;
        at = next;
    }
    return text::trimBlanks(keyword);
}

bool listedTitleMatches(std::string_view listed, std::string_view sent) {
    const std::string b = text::trimBlanks(sent);
    // A back end that escapes the stored (already escaped) title once more shows "&amp;amp;".
    for (const std::string& a : {text::trimBlanks(listed), text::trimBlanks(text::decodeEntities(listed))}) {
        if (!a.empty() && (a == b || (b.starts_with(a) && text::countChars(a) >= kMinKeptTitleChars))) {
            return true;
        }
    }
    return false;
}

void readArticleMark(AdminSession& session, const BackendContext& context, ArticleMark& mark) {
    if (mark.highestId || mark.unreadable) return;
    const ListReading reading = readList(session, context, "");
    if (!reading.rows) {
        mark.unreadable = true;
        return;
    }
    int highest = 0;
    for (const ListedArticle& row : *reading.rows) highest = std::max(highest, row.id);
    mark.highestId = highest;
}

ArticleLookup findNewArticle(AdminSession& session, const BackendContext& context, std::string_view sentTitle,
                             int typeId, const ArticleMark& mark) {
    ArticleLookup lookup;
    const ListReading reading = readList(session, context, titleSearchKeyword(sentTitle));
    if (!reading.rows) {
        lookup.reason = reading.reason;
        return lookup;
    }
    bool olderMatch = false;
    for (const ListedArticle& row : *reading.rows) {
        if (!listedTitleMatches(row.title, sentTitle) || (row.typeId != 0 && row.typeId != typeId)) continue;
        if (mark.highestId && row.id > *mark.highestId) {
            lookup.id = std::max(lookup.id, row.id);
        } else {
            olderMatch = true;
        }
    }
    if (lookup.id > 0) {
        lookup.result = LookupResult::Found;
        lookup.address = articleAddressOf(session, context, lookup.id);
    } else if (olderMatch && !mark.highestId) {
        lookup.reason = "后台文章列表中有同名文章，无法确认是否新发布";
    } else {
        lookup.result = LookupResult::NotFound;
    }
    return lookup;
}

}  // namespace oz::backend
