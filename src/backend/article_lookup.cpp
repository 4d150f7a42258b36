#include "backend/article_lookup.h"

#include <algorithm>
#include <optional>
#include <set>
#include <vector>

#include "backend/answer_reader.h"
#include "backend/back_end_identity.h"
#include "backend/backend_family.h"
#include "backend/html_elements.h"
#include "backend/url_encoding.h"

namespace oz::backend {
namespace {

// Pages of the list read for one look-up: the rows above the mark that share the title's start.
constexpr int kMaxListPages = 20;
constexpr int kDefaultTitleMaxBytes = 60;

std::string listUrl(const config::SiteConfig& site, std::string_view keyword, int page) {
    std::string url = backEndBaseUrl(site) +
                      "/content_list.php?channelid=1&keyword=" + urlEncode(keyword, isUtf8Site(site)) +
                      "&orderby=id";
    if (page > 1) url += "&pageno=" + std::to_string(page);
    return url;
}

struct ListReading {
    std::optional<std::vector<ListedArticle>> rows;
    std::string reason;  // when rows is empty
};

// One page of the list; a list that does not come (the session is gone: a login page or a
// message) is asked for once more after a new login.
ListReading readList(AdminSession& session, const BackendContext& context, std::string_view keyword,
                     int page = 1) {
    ListReading reading;
    for (int attempt = 1; attempt <= 2 && !context.aborted(); ++attempt) {
        const http::PageAnswer answer = requestPage(session, context, listUrl(session.site, keyword, page),
                                                    {}, siteAnswerDecoding(session.site));
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
    if (address.rfind('/', 0) == 0) return siteOrigin(site) + address;
    // The dynamic view page serves every article, made into a static page or not.
    return installUrl(site, familyOf(session).dynamicView) + "?aid=" + std::to_string(id);
}

// The title column of an article as its edit page shows it; std::nullopt when the page has none.
std::optional<std::string> storedTitleOnEditPage(AdminSession& session, const BackendContext& context,
                                                 int id) {
    const config::SiteConfig& site = session.site;
    const std::string page =
        getPage(session, context,
                backEndBaseUrl(site) + "/archives_do.php?aid=" + std::to_string(id) + "&dopost=editArchives",
                siteAnswerDecoding(site));
    const std::string input = findElement(page, "input", "name", "title");
    if (input.empty()) return std::nullopt;
    return elementAttribute(input, "value");
}

}  // namespace

void readArticleMark(AdminSession& session, const BackendContext& context, ArticleTracking& tracking) {
    if (tracking.ledger == nullptr || tracking.ledger->mark(tracking.backEnd)) return;
    // A list that failed once is asked again before a post whose answer may need it; each post
    // asks again, so one bad answer does not leave the rest of the run without a mark.
    for (int attempt = 1; attempt <= 2 && !context.aborted(); ++attempt) {
        const ListReading reading = readList(session, context, "");
        if (reading.rows) {
            int highest = 0;
            for (const ListedArticle& row : *reading.rows) highest = std::max(highest, row.id);
            tracking.ledger->sawId(tracking.backEnd, highest);
            tracking.listUnreadable = false;
            tracking.listReason.clear();
            return;
        }
        tracking.listUnreadable = true;
        tracking.listReason = reading.reason;
    }
}

text::DateTime ArticleTracking::nextPublishTime(const text::DateTime& now) {
    lastPublishTime = std::max(text::toSerialSeconds(now), lastPublishTime + 1);
    return text::fromSerialSeconds(lastPublishTime);
}

TitleRules titleRules(AdminSession& session, const BackendContext& context, ArticleTracking& tracking) {
    const BackendFamily& family = familyOf(session);
    TitleRules rules;
    rules.gbk = !isUtf8Site(session.site);
    rules.columnChars = family.titleColumnChars;
    rules.fixedWidthColumn = family.titleColumnFixed;
    rules.cleaning = family.listCleaning;
    std::optional<int> maxBytes =
        tracking.ledger != nullptr ? tracking.ledger->titleMaxBytes(tracking.backEnd) : std::nullopt;
    if (!maxBytes) {
        maxBytes = readSystemSettings(session, context).titleMaxBytes.value_or(kDefaultTitleMaxBytes);
        if (tracking.ledger != nullptr && !context.aborted()) {
            tracking.ledger->setTitleMaxBytes(tracking.backEnd, *maxBytes);
        }
    }
    rules.maxBytes = *maxBytes;
    return rules;
}

ArticleLookup findNewArticle(AdminSession& session, const BackendContext& context, std::string_view sentTitle,
                             int typeId, int mark, int ticket, ArticleTracking& tracking) {
    ArticleLookup lookup;
    if (tracking.ledger == nullptr) {
        lookup.reason = "无法查找";
        return lookup;
    }
    // The settings page shows the stored setting; the back end cuts by the one its settings cache
    // holds, which is the default until the operator saves the settings. Either cut may be it.
    std::vector<TitleRules> rules{titleRules(session, context, tracking)};
    if (rules.front().maxBytes != kDefaultTitleMaxBytes) {
        rules.push_back(rules.front());
        rules.back().maxBytes = kDefaultTitleMaxBytes;
    }
    std::vector<std::string> stored;
    std::vector<std::string> forms;
    for (const TitleRules& rule : rules) {
        stored.push_back(storedTitle(sentTitle, rule));
        for (std::string& form : listedTitleForms(stored.back(), rule)) forms.push_back(std::move(form));
    }
    const auto isStored = [&stored](const std::optional<std::string>& title) {
        return title && std::find(stored.begin(), stored.end(), *title) != stored.end();
    };
    const std::string keyword = storedTitleKeyword(*std::min_element(
        stored.begin(), stored.end(), [](const auto& a, const auto& b) { return a.size() < b.size(); }));

    std::vector<int> matches;
    bool reachedMark = false;
    std::set<int> seen;
    for (int page = 1; page <= kMaxListPages && !reachedMark; ++page) {
        const ListReading reading = readList(session, context, keyword, page);
        if (!reading.rows) {
            lookup.reason = reading.reason;
            return lookup;
        }
        bool newRows = false;
        for (const ListedArticle& row : *reading.rows) {
            if (!seen.insert(row.id).second) continue;  // a back end that shows the same page again
            newRows = true;
            if (row.id <= mark) {
                reachedMark = true;
                continue;
            }
            if ((row.typeId != 0 && row.typeId != typeId) ||
                tracking.ledger->isCounted(tracking.backEnd, row.id) ||
                std::find(forms.begin(), forms.end(), row.title) == forms.end()) {
                continue;
            }
            // A title the list shows blank is read where the back end shows it whole.
            if (row.title.empty() && !isStored(storedTitleOnEditPage(session, context, row.id))) continue;
            matches.push_back(row.id);
        }
        if (!newRows) reachedMark = true;  // the end of the list
    }
    if (!reachedMark) {
        lookup.reason = "后台文章列表中新文章过多，无法查完";
        return lookup;
    }
    if (matches.empty()) {
        lookup.result = LookupResult::NotFound;
        return lookup;
    }
    for (const SentArticle& other : tracking.ledger->otherClaimants(tracking.backEnd, ticket)) {
        if (other.typeId != typeId) continue;
        bool alike = false;
        for (std::size_t i = 0; i < rules.size(); ++i)
            alike = alike || storedTitle(other.title, rules[i]) == stored[i];
        if (alike) {
            lookup.reason = "本次更新中另有同名文章，无法区分";
            return lookup;
        }
    }
    lookup.result = LookupResult::Found;
    lookup.id = *std::min_element(matches.begin(), matches.end());
    lookup.address = articleAddressOf(session, context, lookup.id);
    return lookup;
}

}  // namespace oz::backend
