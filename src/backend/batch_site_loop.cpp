#include "backend/batch_site_loop.h"

#include <chrono>

#include "backend/regeneration.h"

namespace oz::backend {

bool BatchEnvironment::pause(int milliseconds) const {
    static const std::atomic<bool> kNever{false};
    return text::interruptibleWait(std::chrono::milliseconds(milliseconds), stop != nullptr ? *stop : kNever,
                                   backend.clockOrSystem());
}

std::vector<BatchTarget> batchTargets(const config::SiteList& list, BatchScope scope,
                                      const std::optional<SiteForm>& currentForm) {
    std::vector<BatchTarget> targets;
    for (int i = 0; i < list.size(); ++i) {
        const config::SiteConfig& record = list.sites[static_cast<std::size_t>(i)];
        if (scope == BatchScope::Current && i != list.current) continue;
        if (scope == BatchScope::Checked && !record.enabled) continue;
        SiteForm form = scope == BatchScope::Current && currentForm ? *currentForm : formOfSite(record);
        targets.push_back({i + 1, record, std::move(form)});
    }
    return targets;
}

BatchSite openBatchSite(const BatchTarget& target, const BatchEnvironment& env) {
    BatchSite site{target, siteFromForm(target.form, false), {}};
    site.requester.setStopFlags(env.abortRequests);
    return site;
}

void batchSiteLoop(const std::vector<BatchTarget>& targets, const BatchEnvironment& env,
                   const std::function<void(BatchSite&)>& work) {
    for (const BatchTarget& target : targets) {
        if (env.stopped()) return;
        env.siteStarted(target.index);
        BatchSite site = openBatchSite(target, env);
        work(site);
    }
}

bool loginForBatch(BatchSite& site, const BatchEnvironment& env, const std::string& loginCaption,
                   std::string& report) {
    env.caption(loginCaption);
    AdminSession session = site.session();
    if (login(session, env.backend)) return true;
    report += site.site.domain + " 登录失败\r\n";
    return false;
}

std::string refreshedListsText(BatchSite& site, const BatchEnvironment& env) {
    AdminSession session = site.session();
    int pages =
        refreshAllLists(session, env.backend, [&env](const std::string& title) { env.caption(title); });
    return "；已刷新栏目 " + std::to_string(pages) + " 个";
}

std::string siteReportLine(BatchSite& site, const BatchEnvironment& env, std::string counts,
                           bool refreshLists) {
    if (refreshLists && !env.stopped()) counts += refreshedListsText(site, env);
    return counts + "\r\n";
}

std::string countsText(int successes, int failures) {
    return "成功 " + std::to_string(successes) + " 个；失败 " + std::to_string(failures) + " 个";
}

void forEachId(int from, int to, const std::function<bool(int id)>& visit) {
    const int step = from <= to ? 1 : -1;
    for (long long id = from;; id += step) {
        if (!visit(static_cast<int>(id)) || id == to) return;
    }
}

}  // namespace oz::backend
