#include "backend/category_deletion.h"

#include "backend/answer_reader.h"

namespace oz::backend {

std::string deleteCategoriesQuestion(const DeleteCategoriesOptions& options) {
    return "确定要删除 ID 从 " + std::to_string(options.from) + " 到 " + std::to_string(options.to) +
           " 的栏目吗？";
}

BatchReport deleteCategories(const std::vector<BatchTarget>& targets, const DeleteCategoriesOptions& options,
                             const BatchEnvironment& env) {
    BatchReport result;
    result.title = "全部删除完成！";
    batchSiteLoop(targets, env, result, [&](BatchSite& site) {
        const std::string& domain = site.site.domain;
        if (!loginForBatch(site, env, domain + "\r\n登录中...", result.report)) return;
        int successes = 0;
        int failures = 0;
        FailureReasons reasons;
        forEachId(options.from, options.to, [&](int id) {
            if (env.stopped()) return false;
            AdminSession session = site.session();
            const AnswerReading reading = readActionAnswer(
                requestPage(session, env.backend, backEndBaseUrl(site.site) + "/catalog_del.php",
                            std::string("dopost=ok&delfile=") + (options.deleteFiles ? "yes" : "no") +
                                "&imageField1.x=29&imageField1.y=16&id=" + std::to_string(id),
                            siteAnswerDecoding(site.site)),
                kCategoryDeletedText);
            ++(reading.done() ? successes : failures);
            reasons.add(reading.reason);
            env.caption(domain + "\r\n" + countsText(successes, failures));
            return true;
        });
        site.failed = failures > 0;
        result.report += siteReportLine(
            site, env, domain + " " + countsText(successes, failures) + reasons.text(), options.refreshLists);
    });
    result.stopped = env.stopped();
    return result;
}

}  // namespace oz::backend
