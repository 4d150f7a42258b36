#include "backend/homepage_rewrite.h"

#include "backend/answer_reader.h"
#include "backend/regeneration.h"

namespace oz::backend {

std::string rewriteHomePagesQuestion(BatchScope scope) {
    return "确定要修改" + scopeLabel(scope) + "的主页？";
}

BatchReport rewriteHomePages(const std::vector<BatchTarget>& targets, const RewriteHomePagesOptions& options,
                             const BatchEnvironment& env) {
    BatchReport result;
    result.title = "全部修改完成！";
    batchSiteLoop(targets, env, result, [&](BatchSite& site) {
        const std::string& domain = site.label;
        if (!loginForBatch(site, env, domain + "\r\n登录中...", result.report)) return;
        if (env.stopped()) return;
        env.caption(domain + "\r\n修改中...");
        AdminSession session = site.session();
        std::string reason;
        bool ok = refreshHomePage(session, env.backend, options.position.value_or(""),
                                  options.templet.value_or(""), &reason);
        site.failed = !ok;
        result.report += domain + " 修改" + (ok ? "成功" : "失败" + reasonInParentheses(reason)) + "\r\n";
    });
    result.stopped = env.stopped();
    return result;
}

}  // namespace oz::backend
