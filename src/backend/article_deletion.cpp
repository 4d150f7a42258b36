#include "backend/article_deletion.h"

#include "backend/answer_reader.h"

namespace oz::backend {

std::string deleteArticlesQuestion(const DeleteArticlesOptions& options) {
    return "确定要删除 ID 从 " + std::to_string(options.from) + " 到 " + std::to_string(options.to) +
           " 的文章吗？";
}

std::string articleDeleteBody(int firstId, const std::string& joinedIds) {
    return "fmdo=yes&dopost=delArchives&aid=" + std::to_string(firstId) +
           "&imageField1.x=18&imageField1.y=5&qstr=" + joinedIds;
}

BatchReport deleteArticles(const std::vector<BatchTarget>& targets, const DeleteArticlesOptions& options,
                           const BatchEnvironment& env) {
    BatchReport result;
    result.title = "全部删除完成！";
    batchSiteLoop(targets, env, result, [&](BatchSite& site) {
        const std::string& domain = site.site.domain;
        if (!loginForBatch(site, env, domain + " 登录中...", result.report)) return;
        std::string qstr;
        int inBatch = 0;
        int sent = 0;
        int confirmed = 0;
        FailureReasons reasons;
        forEachId(options.from, options.to, [&](int id) {
            if (env.stopped()) return false;
            if (!qstr.empty()) qstr += "%60";
            qstr += std::to_string(id);
            if (++inBatch < kArticleBatchSize && id != options.to) return true;
            AdminSession session = site.session();
            const AnswerReading reading = readActionAnswer(
                requestPage(session, env.backend, backEndBaseUrl(site.site) + "/archives_do.php",
                            articleDeleteBody(options.from, qstr), siteAnswerDecoding(site.site)),
                kArticlesDeletedText);
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
        result.report += siteReportLine(site, env,
                                        domain + " 已删除 " + std::to_string(confirmed) + " 批（已发送 " +
                                            std::to_string(sent) + " 批）" + reasons.text(),
                                        options.refreshLists);
    });
    result.report += "\r\n\r\n(每批 100 篇)";
    result.stopped = env.stopped();
    return result;
}

}  // namespace oz::backend
