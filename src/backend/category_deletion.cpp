#include "backend/category_deletion.h"

#include <algorithm>
#include <optional>
#include <set>

#include "backend/answer_reader.h"
#include "backend/backend_family.h"
#include "backend/category_tree.h"

namespace oz::backend {
namespace {

// The ids of the site's category list; std::nullopt when it cannot be read.
std::optional<std::set<int>> listedCategoryIds(BatchSite& site, const BatchEnvironment& env) {
    AdminSession session = site.session();
    const std::optional<std::vector<CategoryItem>> items = readCategoryItems(session, env.backend);
    if (!items) return std::nullopt;
    std::set<int> ids;
    for (const CategoryItem& item : *items) ids.insert(item.id);
    return ids;
}

}  // namespace

std::string deleteCategoriesQuestion(const DeleteCategoriesOptions& options, BatchScope scope, int sites) {
    return deletionQuestion("栏目", options.from, options.to, scope, sites);
}

BatchReport deleteCategories(const std::vector<BatchTarget>& targets, const DeleteCategoriesOptions& options,
                             const BatchEnvironment& env) {
    BatchReport result;
    result.title = "全部删除完成！";
    batchSiteLoop(targets, env, result, [&](BatchSite& site) {
        const std::string& domain = site.label;
        if (!loginForBatch(site, env, domain + "\r\n登录中...", result.report)) return;
        int successes = 0;
        int failures = 0;
        int unknown = 0;
        FailureReasons reasons;
        // What the site listed before the first deletion: a deletion whose answer says nothing
        // trustworthy (DedeBIZ 6.2.10 answers HTTP 500 once it has deleted) is settled by looking.
        // The back end answers a deletion of an id it does not hold as it answers a real one: an id
        // the list lacks is not sent, and counts apart.
        std::optional<std::set<int>> listed;
        if (!env.stopped()) listed = listedCategoryIds(site, env);
        long long absent = 0;
        forEachId(options.from, options.to, [&](int id) {
            if (env.stopped()) return false;
            if (listed && listed->count(id) == 0) {
                ++absent;
                return true;
            }
            AdminSession session = site.session();
            AnswerReading reading = readActionAnswer(
                requestPage(session, env.backend, backEndBaseUrl(site.site) + "/catalog_del.php",
                            std::string("dopost=ok&delfile=") + (options.deleteFiles ? "yes" : "no") +
                                "&imageField1.x=29&imageField1.y=16&id=" + std::to_string(id),
                            siteAnswerDecoding(site.site)),
                familyOf(session).categoryDeleted);
            if (reading.outcome == Outcome::Unknown && listed && !env.backend.aborted()) {
                if (const std::optional<std::set<int>> now = listedCategoryIds(site, env)) {
                    reading = now->count(id) == 0 ? AnswerReading{Outcome::Done, {}}
                                                  : AnswerReading{Outcome::Refused,
                                                                  reading.reason + "；网站后台仍有这个栏目"};
                }
            }
            ++(reading.done() ? successes : reading.safeToRepeat() ? failures : unknown);
            reasons.add(reading.reason);
            env.caption(domain + "\r\n" + countsText(successes, failures));
            return true;
        });
        site.failed = failures > 0 || unknown > 0;
        std::string counts = domain + " " + countsText(successes, failures);
        if (unknown > 0) counts += "；结果未知 " + std::to_string(unknown) + " 个";
        if (absent > 0) counts += absentIdsText(absent);
        result.report += siteReportLine(site, env, counts + reasons.text(), options.refreshLists);
    });
    result.stopped = env.stopped();
    return result;
}

}  // namespace oz::backend
