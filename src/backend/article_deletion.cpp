#include "backend/article_deletion.h"

#include <algorithm>
#include <optional>
#include <set>

#include "backend/answer_reader.h"
#include "backend/backend_family.h"

namespace oz::backend {
namespace {

// The list shows 30 articles a page, newest id first: a range near the oldest of a large site is
// not looked up beyond this many pages (its ids are then all sent, as before a list was read).
constexpr int kMaxListPages = 100;
constexpr std::size_t kListPageSize = 30;

// The ids from `low` to `high` of the articles the back end lists (content_list.php over every
// channel, by id, newest first), read down to `low`; std::nullopt when the list cannot be read
// or reaches further than kMaxListPages pages.
std::optional<std::set<int>> listedArticleIds(AdminSession& session, const BackendContext& context, int low,
                                              int high) {
    std::set<int> ids;
    int previousLowest = 0;
    for (int page = 1; page <= kMaxListPages && !context.aborted(); ++page) {
        std::string url = backEndBaseUrl(session.site) + "/content_list.php?orderby=id";
        if (page > 1) url += "&pageno=" + std::to_string(page);
        const std::optional<std::vector<ListedArticle>> rows =
            readArticleList(getPage(session, context, url, siteAnswerDecoding(session.site)));
        if (!rows) return std::nullopt;
        if (rows->empty()) return ids;
        int lowest = rows->front().id;
        for (const ListedArticle& row : *rows) {
            lowest = std::min(lowest, row.id);
            if (row.id >= low && row.id <= high) ids.insert(row.id);
        }
        // The last page, shown again for a page number beyond it, or the range's bottom reached.
        if ((page > 1 && lowest >= previousLowest) || lowest <= low || rows->size() < kListPageSize)
            return ids;
        previousLowest = lowest;
    }
    return std::nullopt;
}

}  // namespace

std::string deleteArticlesQuestion(const DeleteArticlesOptions& options, BatchScope scope, int sites) {
    return deletionQuestion("文章", options.from, options.to, scope, sites);
}

std::string articleDeleteBody(int firstId, const std::string& joinedIds) {
    return "fmdo=yes&dopost=delArchives&aid=" + std::to_string(firstId) +
           "&imageField1.x=18&imageField1.y=5&qstr=" + joinedIds;
}

std::string encodedIdSeparator(char separator) { return separator == ',' ? "%2C" : "%60"; }

BatchReport deleteArticles(const std::vector<BatchTarget>& targets, const DeleteArticlesOptions& options,
                           const BatchEnvironment& env) {
    BatchReport result;
    result.title = "全部删除完成！";
    batchSiteLoop(targets, env, result, [&](BatchSite& site) {
        const std::string& domain = site.label;
        if (!loginForBatch(site, env, domain + " 登录中...", result.report)) return;
        AdminSession session = site.session();
        // A list split at another separator than the back end's deletes other articles: where it
        // is not known, each id goes alone.
        std::optional<char> separator = articleIdSeparator(session, env.backend);
        if (familyOf(session).deletionStopsAtMissingId) separator.reset();
        const int batchSize = separator ? kArticleBatchSize : 1;
        // The back end answers a deletion of ids it does not hold as it answers a real one: only
        // the listed ids are sent, the others counted apart.
        const int low = std::min(options.from, options.to);
        const int high = std::max(options.from, options.to);
        const std::optional<std::set<int>> listed =
            env.stopped() ? std::nullopt : listedArticleIds(session, env.backend, low, high);
        const int lastId = !listed                      ? options.to
                           : listed->empty()            ? 0
                           : options.from <= options.to ? *listed->rbegin()
                                                        : *listed->begin();
        long long absent = 0;
        std::string qstr;
        int inBatch = 0;
        int sent = 0;
        int confirmed = 0;
        FailureReasons reasons;
        forEachId(options.from, options.to, [&](int id) {
            if (env.stopped()) return false;
            if (listed && listed->count(id) == 0) {
                ++absent;
                return true;
            }
            if (!qstr.empty()) qstr += encodedIdSeparator(*separator);
            qstr += std::to_string(id);
            if (++inBatch < batchSize && id != lastId) return true;
            const AnswerReading reading = readActionAnswer(
                requestPage(session, env.backend, backEndBaseUrl(site.site) + "/archives_do.php",
                            articleDeleteBody(options.from, qstr), siteAnswerDecoding(site.site)),
                familyOf(session).articlesDeleted);
            if (reading.done()) ++confirmed;
            reasons.add(reading.reason);
            qstr.clear();
            inBatch = 0;
            ++sent;
            if (env.stopped()) return false;
            env.caption(domain + "\r\n 已删除第 " + std::to_string(sent) + " 批文章");
            return true;
        });
        site.failed = confirmed < sent;
        std::string counts =
            domain + " 已删除 " + std::to_string(confirmed) + " 批（已发送 " + std::to_string(sent) + " 批）";
        if (!separator) counts += kOneIdPerBatchText;
        if (absent > 0) counts += absentIdsText(absent);
        result.report += siteReportLine(site, env, counts + reasons.text(), options.refreshLists);
    });
    result.report += "\r\n\r\n(每批 100 篇)";
    result.stopped = env.stopped();
    return result;
}

}  // namespace oz::backend
