#include "backend/batch_site_loop.h"

#include <algorithm>
#include <chrono>

#include "backend/answer_reader.h"
#include "backend/regeneration.h"

namespace oz::backend {

bool BatchEnvironment::pause(int milliseconds) const {
    static const std::atomic<bool> kNever{false};
    return text::interruptibleWait(std::chrono::milliseconds(milliseconds), stop != nullptr ? *stop : kNever,
                                   backend.clockOrSystem());
}

std::string scopeLabel(BatchScope scope) {
    switch (scope) {
        case BatchScope::Current:
            return "当前网站";
        case BatchScope::Checked:
            return "勾选网站";
        case BatchScope::All:
            break;
    }
    return "全部网站";
}

std::string deletionQuestion(std::string_view what, int from, int to, BatchScope scope, int sites) {
    return "将删除 " + std::to_string(sites) + " 个网站的" + std::string(what) + " ID " +
           std::to_string(from) + "–" + std::to_string(to) + "，确定吗？\r\n（执行批处理的网站：" +
           scopeLabel(scope) + "）";
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
    BatchSite site{target, siteFromForm(target.form, false), {}, false, {}};
    site.requester.setStopFlags(env.abortRequests);
    site.label = site.site.domain;
    return site;
}

void batchSiteLoop(const std::vector<BatchTarget>& targets, const BatchEnvironment& env, BatchReport& report,
                   const std::function<void(BatchSite&)>& work) {
    report.sites += static_cast<int>(targets.size());
    for (const BatchTarget& target : targets) {
        if (env.stopped()) return;
        env.siteStarted(target.index);
        BatchSite site = openBatchSite(target, env);
        const bool sharedDomain = std::any_of(targets.begin(), targets.end(), [&](const BatchTarget& other) {
            return &other != &target && other.record.domain == target.record.domain;
        });
        if (sharedDomain) site.label += "(" + site.site.user + ")";
        work(site);
        if (site.failed) ++report.failedSites;
    }
}

bool loginForBatch(BatchSite& site, const BatchEnvironment& env, const std::string& loginCaption,
                   std::string& report) {
    env.caption(loginCaption);
    AdminSession session = site.session();
    std::string reason;
    if (login(session, env.backend, &reason)) return true;
    site.failed = true;
    report += site.label + " 登录失败" + reasonInParentheses(reason) + "\r\n";
    return false;
}

std::string refreshedListsText(BatchSite& site, const BatchEnvironment& env) {
    AdminSession session = site.session();
    const ListRefresh refresh = refreshAllLists(
        session, env.backend, [&env](const std::string& progress) { env.listRefreshProgress(progress); });
    env.listRefreshProgress({});
    std::string text = "；已刷新栏目 " + std::to_string(refresh.categories) + " 个";
    if (env.backend.aborted()) return text + "（已停止）";
    if (!refresh.listsComplete) {
        site.failed = true;
        text += "；刷新栏目列表失败" + reasonInParentheses(refresh.listFailure);
    }
    if (!refresh.homePageMade) {
        site.failed = true;
        text += "；刷新主页失败" + reasonInParentheses(refresh.homePageFailure);
    }
    return text;
}

std::string siteReportLine(BatchSite& site, const BatchEnvironment& env, std::string counts,
                           bool refreshLists) {
    if (refreshLists && !env.stopped()) counts += refreshedListsText(site, env);
    return counts + "\r\n";
}

std::string countsText(int successes, int failures) {
    return "成功 " + std::to_string(successes) + " 个；失败 " + std::to_string(failures) + " 个";
}

std::string absentIdsText(long long absent) {
    return "；网站后台没有的 ID " + std::to_string(absent) + " 个（未发送）";
}

void FailureReasons::add(const std::string& reason) {
    if (reason.empty() || m_reasons.size() >= 5) return;
    if (std::find(m_reasons.begin(), m_reasons.end(), reason) == m_reasons.end()) m_reasons.push_back(reason);
}

std::string FailureReasons::text() const {
    std::string joined;
    for (const std::string& reason : m_reasons) joined += (joined.empty() ? "" : "；") + reason;
    return joined.empty() ? joined : "（失败原因：" + joined + "）";
}

void forEachId(int from, int to, const std::function<bool(int id)>& visit) {
    const int step = from <= to ? 1 : -1;
    for (long long id = from;; id += step) {
        if (!visit(static_cast<int>(id)) || id == to) return;
    }
}

}  // namespace oz::backend
