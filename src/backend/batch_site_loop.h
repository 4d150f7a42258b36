#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backend/admin_session.h"
#include "backend/backend_context.h"
#include "backend/site_form.h"
#include "config/site_config.h"
#include "http/http_requester.h"

// The site loop of the batch tools and the types every batch operation shares. The operations
// never touch a window: a window (or the command line) runs them on a worker thread, hears their
// progress through a BatchObserver and stops them through the stop flag.
namespace oz::backend {

// Which entries of the site list a batch operation touches (单选框选定, 单选框勾选, 单选框全部).
enum class BatchScope { Current, Checked, All };

// "当前网站", "勾选网站" or "全部网站".
std::string scopeLabel(BatchScope scope);

// The confirmation of a deletion, naming how many sites and which scope:
// "将删除 3 个网站的栏目 ID 1–1040，确定吗？\r\n（执行批处理的网站：勾选网站）".
std::string deletionQuestion(std::string_view what, int from, int to, BatchScope scope, int sites);

// One site a batch operation visits: its 1-based place in the site list, the stored record and
// the connection fields the operation logs in with.
struct BatchTarget {
    int index = 0;
    config::SiteConfig record;
    SiteForm form;
};

// Told what an operation is doing. Called on the thread running the operation; an implementation
// for a window turns each call into a queued signal carrying the values.
class BatchObserver {
   public:
    virtual ~BatchObserver() = default;
    // The progress text the operation's button shows ("域名\r\n登录中...", "已导入 3 个站点", ...).
    virtual void caption(const std::string& text) = 0;
    // The loop turns to the target with this 1-based index (a window selects its entry).
    virtual void siteStarted(int /*index*/) {}
    // The progress of regenerating every list page of a site (域名 + " 已刷新栏目 " + n + " 个"),
    // which a window shows in its title; an empty text when it has ended.
    virtual void listRefreshProgress(const std::string& /*text*/) {}
};

// What an operation needs from its surroundings. Everything pointed to outlives the call.
struct BatchEnvironment {
    BackendContext backend;                   // settings, data folder, clock, random draws
    const std::atomic<bool>* stop = nullptr;  // checked between requests; nullptr: never stops
    // Cuts off the request on the wire (the program is closing); a stop lets it finish, so that
    // what it did on the back end is counted. nullptr: never.
    const std::atomic<bool>* abortRequests = nullptr;
    BatchObserver* observer = nullptr;  // may be nullptr

    bool stopped() const { return stop != nullptr && stop->load(); }
    void caption(const std::string& text) const {
        if (observer != nullptr) observer->caption(text);
    }
    void siteStarted(int index) const {
        if (observer != nullptr) observer->siteStarted(index);
    }
    void listRefreshProgress(const std::string& text) const {
        if (observer != nullptr) observer->listRefreshProgress(text);
    }
    // Waits in short steps; false when the stop flag ended the wait.
    bool pause(int milliseconds) const;
};

// The texts an operation ends with: the report (CR LF line ends) for the dialog titled `title`,
// and, when not empty, the failure text for a second dialog titled `failureTitle`.
struct BatchReport {
    std::string title;
    std::string report;
    std::string failureTitle;
    std::string failures;
    bool stopped = false;  // the stop flag ended the operation early
    int sites = 0;         // the sites the operation was given
    int failedSites = 0;   // of those, sites where something failed or was left unknown
};

// The sites of a scope in list order. Current: the current entry only (none when there is no
// current entry), with `currentForm` in place of the stored connection fields when given.
std::vector<BatchTarget> batchTargets(const config::SiteList& list, BatchScope scope,
                                      const std::optional<SiteForm>& currentForm = std::nullopt);

// One visited site: the record built by siteFromForm and the requester of its session.
struct BatchSite {
    const BatchTarget& target;
    config::SiteConfig site;
    http::HttpRequester requester;
    bool failed = false;  // the login, or one of the site's requests, failed or was left unknown
    // The site in captions and reports: its 域名, with its user ("a.com(editor)") when another
    // target of the operation has the same 域名.
    std::string label;
    AdminSession session() { return AdminSession{site, requester}; }
};

// The target's site built with siteFromForm(form, false) and a fresh requester that abortRequests
// cuts off.
BatchSite openBatchSite(const BatchTarget& target, const BatchEnvironment& env);

// `batchSiteLoop`: for each target until the stop flag is set, opens its site (its label set) and
// hands it to `work`; counts the targets and the sites `work` marked failed into the report.
void batchSiteLoop(const std::vector<BatchTarget>& targets, const BatchEnvironment& env, BatchReport& report,
                   const std::function<void(BatchSite&)>& work);

// Shows `loginCaption`, logs in; on failure marks the site failed and appends 域名 + " 登录失败" +
// the reason in parentheses ("（你的密码错误!）") + "\r\n" to `report`.
bool loginForBatch(BatchSite& site, const BatchEnvironment& env, const std::string& loginCaption,
                   std::string& report);

// "；已刷新栏目 N 个" after refreshAllLists (its progress shown as captions), followed by
// "；刷新栏目列表失败（why）" and "；刷新主页失败（why）" when either failed, which marks the site
// failed.
std::string refreshedListsText(BatchSite& site, const BatchEnvironment& env);

// A site's line of a report: `counts`, then (when asked and not stopped) the refreshed-lists text,
// then CR LF.
std::string siteReportLine(BatchSite& site, const BatchEnvironment& env, std::string counts,
                           bool refreshLists);

// "成功 N 个；失败 M 个", the counts of the category operations' captions and report lines.
std::string countsText(int successes, int failures);

// "；网站后台没有的 ID N 个（未发送）": the ids of a deletion the site did not hold.
std::string absentIdsText(long long absent);

// The different reasons of a site's failed requests, for its report line: "（失败原因：A；B）".
class FailureReasons {
   public:
    void add(const std::string& reason);
    std::string text() const;  // empty when none was added

   private:
    std::vector<std::string> m_reasons;
};

// Calls `visit` for each id from `from` to `to`, both included, counting down when from > to,
// until it returns false.
void forEachId(int from, int to, const std::function<bool(int id)>& visit);

}  // namespace oz::backend
