#include "backend/article_deletion.h"

#include "backend/answer_reader.h"
#include "backend/backend_family.h"

namespace oz::backend {

std::string deleteArticlesQuestion(const DeleteArticlesOptions& options) {
    return "确定要删除 ID 从 " + std::to_string(options.from) + " 到 " + std::to_string(options.to) +
           " 的文章吗？";
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
        const std::string& domain = site.site.domain;
        if (!loginForBatch(site, env, domain + " 登录中...", result.report)) return;
        AdminSession session = site.session();
        // A list split at another separator than the back end's deletes other articles: where it
        // is not known, each id goes alone.
        std::optional<char> separator = articleIdSeparator(session, env.backend);
        if (familyOf(session).deletionStopsAtMissingId) separator.reset();
        const int batchSize = separator ? kArticleBatchSize : 1;
        std::string qstr;
        int inBatch = 0;
        int sent = 0;
        int confirmed = 0;
        FailureReasons reasons;
        forEachId(options.from, options.to, [&](int id) {
            if (env.stopped()) return false;
            if (!qstr.empty()) qstr += encodedIdSeparator(*separator);
            qstr += std::to_string(id);
            if (++inBatch < batchSize && id != options.to) return true;
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
        result.report += siteReportLine(site, env, counts + reasons.text(), options.refreshLists);
    });
    result.report += "\r\n\r\n(每批 100 篇)";
    result.stopped = env.stopped();
    return result;
}

}  // namespace oz::backend
