#include "engine/publish_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <stdexcept>
#include <thread>

#include "engine_fixture.h"

namespace oz::engine::test {
namespace {

using oz::testing::StandinFaults;

class PublishRunTest : public EngineFixture {
   protected:
    // A site's lines before the summary.
    std::vector<std::string> siteLines(int siteIndex) const {
        std::vector<std::string> lines = observer.textsOf(siteIndex);
        std::erase_if(lines, [](const std::string& line) { return line.rfind("实际更新 ", 0) == 0; });
        return lines;
    }
    int loginPosts(const std::string& prefix) const { return requestsTo(prefix, "login.php", "POST"); }
};

// ---- Both modes --------------------------------------------------------------------------------

class RunModeTest : public EngineFixture, public ::testing::WithParamInterface<bool> {
   protected:
    void SetUp() override {
        setOptions([](config::RunOptions& o) {
            o.synchronousCycle = GetParam();
            o.independentSites = !GetParam();
            o.simultaneousSites = "2";
            o.cycleInterval = "0.5";
        });
    }
};

TEST_P(RunModeTest, EverySitePublishesItsArticlesAndTheCountsAgreeEverywhere) {
    std::vector<config::SiteConfig> sites{addSite("s1", 3), addSite("g1", 2, /*gbk=*/true), addSite("s3", 3)};
    sites[2].enabled = false;  // unchecked: no part in the run, no summary row
    const RunTotals totals = runToEnd(sites);

    EXPECT_EQ(totals.totalUpdated, 5);
    ASSERT_EQ(totals.summary.size(), 2u);
    EXPECT_EQ(totals.summary[0], (SiteResult{1, 3, 3, 3, 0, true, 0, 3}));
    EXPECT_EQ(totals.summary[1], (SiteResult{2, 2, 2, 2, 0, true, 0, 2}));
    // No data lost: the summary, the address records and the back end agree.
    EXPECT_EQ(server.articleCount("s1"), 3u);
    EXPECT_EQ(server.articleCount("g1"), 2u);
    EXPECT_EQ(server.articleCount("s3"), 0u);
    EXPECT_EQ(addressLines(sites[0]).size(), 3u);
    EXPECT_EQ(addressLines(sites[1]).size(), 2u);
    for (const auto& article : server.articles("g1")) EXPECT_EQ(article.field("writer"), "作者甲");

    const auto site1 = observer.textsOf(1);
    ASSERT_GE(site1.size(), 4u);
    EXPECT_EQ(site1[0], "开始登录");
    EXPECT_EQ(site1[1], "登录成功！");
    EXPECT_EQ(site1[2], "读取文章列表成功，总共 3 篇文章！当前本站点更新读取到的所有文章");
    EXPECT_EQ(observer.countStartingWith("已停止更新，本次成功更新 3 篇", 1), 1);
    EXPECT_EQ(observer.countStartingWith("已停止更新，本次成功更新 2 篇", 2), 1);
    EXPECT_TRUE(observer.textsOf(3).empty());

    const auto run = observer.textsOf(0);
    ASSERT_FALSE(run.empty());
    EXPECT_EQ(run.front(), "站群更新开始，当前时间点是：2024-05-07 09:03:02");
    EXPECT_EQ(run.back().rfind("总更新了 5 篇文章，更新耗费 ", 0), 0u);
    const bool cycle = GetParam();
    EXPECT_EQ(observer.countStartingWith("正在进行更新前的准备工作"), cycle ? 1 : 0);
    EXPECT_EQ(observer.countStartingWith("更新前的准备工作已就绪"), cycle ? 1 : 0);

    // The file holds the same lines; the run is back to Idle and reported its end once.
    const std::string file = text::gbkToUtf8(readBytes(observer.logFile()));
    EXPECT_NE(file.find("实际更新 3 篇（设置更新 3 篇，读取文章数 3 篇）"), std::string::npos);
    EXPECT_NE(file.find("总更新了 5 篇文章"), std::string::npos);
    EXPECT_EQ(observer.states(), (std::vector<RunState>{RunState::Running, RunState::Idle}));
    ASSERT_EQ(observer.totals().size(), 1u);
    EXPECT_EQ(completionMessage(observer.totals()[0]).rfind("更新完成！总更新了 5 篇文章，更新耗费 ", 0), 0u);
    EXPECT_FALSE(m_run->isRunning());
    // The unchecked row was greyed at the start, the others when they finished.
    const auto finished = observer.finished();
    EXPECT_EQ(std::count(finished.begin(), finished.end(), 3), 1);
    EXPECT_EQ(std::count(finished.begin(), finished.end(), 1), 1);
}

TEST_P(RunModeTest, GlobalCountReplacesEachSitesOwnCount) {
    setOptions([](config::RunOptions& o) {
        o.useGlobalCount = true;
        o.globalCount = "2";
    });
    std::vector<config::SiteConfig> sites{addSite("s1", 4), addSite("s2", 4), addSite("s3", 1)};
    sites[0].articleCount = 3;  // replaced by the global count
    const RunTotals totals = runToEnd(sites);
    EXPECT_EQ(totals.totalUpdated, 5);
    EXPECT_EQ(totals.summary[0], (SiteResult{1, 2, 2, 4, 0, true, 0, 2}));
    EXPECT_EQ(totals.summary[1], (SiteResult{2, 2, 2, 4, 0, true, 0, 2}));
    EXPECT_EQ(totals.summary[2], (SiteResult{3, 1, 2, 1, 0, true, 0, 1}));
    EXPECT_EQ(server.articleCount("s1"), 2u);
    EXPECT_EQ(observer.countStartingWith("读取文章列表成功，总共 4 篇文章！当前本站点更新 2 篇"), 2);
}

TEST_P(RunModeTest, StopDuringAHangingRequestEndsTheRunWithinASecond) {
    std::vector<config::SiteConfig> sites{addSite("s1", 3), addSite("s2", 3)};
    sites[0].refreshHtmlMode = 1;
    // Site 1's server stops answering as soon as it has stored its first article.
    observer.setHook([this](const LogEntry& e) {
        if (e.siteIndex == 1 && e.text.rfind("已成功更新 1 篇", 0) == 0) {
            StandinFaults faults;
            faults.neverAnswer = true;
            server.setFaults("s1", faults);
        }
    });
    start(sites);
    ASSERT_TRUE(observer.waitForLine("已成功更新 1 篇", 1));
    std::this_thread::sleep_for(300ms);

    const auto before = std::chrono::steady_clock::now();
    m_run->requestStop();
    EXPECT_EQ(m_run->state(), RunState::Stopping);
    ASSERT_TRUE(m_run->waitFor(5s));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);

    const RunTotals totals = *m_run->lastTotals();
    EXPECT_EQ(totals.summary[0].actual, 1);
    EXPECT_EQ(totals.totalUpdated, totals.summary[0].actual + totals.summary[1].actual);
    EXPECT_EQ(server.articleCount("s2"), static_cast<std::size_t>(totals.summary[1].actual));
    // Cycle mode says so only when the stop came during the preparation.
    EXPECT_EQ(observer.countStartingWith("已强制全部停止更新"), GetParam() ? 0 : 1);
    EXPECT_EQ(observer.countStartingWith("站点请求已中止，跳过刷新HTML", 1), 1);
    EXPECT_EQ(addressLines(sites[0]).size(), 1u);
    EXPECT_NE(text::gbkToUtf8(readBytes(observer.logFile()))
                  .find("总更新了 " + std::to_string(totals.totalUpdated)),
              std::string::npos);
}

// A site whose server died during its pause: the end-of-site regeneration after the stop hangs
// too, and is cut off as well.
TEST_F(PublishRunTest, StopEndsTheRunWithinASecondWhenTheRegenerationHangs) {
    config::SiteConfig site = addSite("s1", 3);
    site.refreshHtmlMode = 1;
    site.intervalMin = site.intervalMax = 20;
    clock = &text::systemClock();
    start({site});
    ASSERT_TRUE(observer.waitForLine("已成功更新 1 篇", 1));
    StandinFaults faults;
    faults.neverAnswer = true;
    server.setFaults("s1", faults);

    const auto before = std::chrono::steady_clock::now();
    m_run->requestStop();
    ASSERT_TRUE(m_run->waitFor(5s));
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    EXPECT_EQ(observer.countStartingWith("正在刷新栏目和主页HTML...", 1), 1);
    EXPECT_EQ(m_run->lastTotals()->totalUpdated, 1);
}

INSTANTIATE_TEST_SUITE_P(Modes, RunModeTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Cycle" : "Independent"; });

TEST_F(PublishRunTest, CycleModePublishesOneArticlePerSitePerRound) {
    setOptions([](config::RunOptions& o) {
        o.synchronousCycle = true;
        o.cycleInterval = "2";
    });
    std::vector<config::SiteConfig> sites{addSite("s1", 3), addSite("s2", 2)};
    runToEnd(sites);
    std::vector<std::pair<int, std::string>> published;
    for (const auto& e : observer.entries()) {
        if (e.text.rfind("已成功更新", 0) == 0) published.emplace_back(e.siteIndex, e.text.substr(0, 17));
    }
    const std::vector<std::pair<int, std::string>> expected{{1, "已成功更新 1"},
                                                            {2, "已成功更新 1"},
                                                            {1, "已成功更新 2"},
                                                            {2, "已成功更新 2"},
                                                            {1, "已成功更新 3"}};
    EXPECT_EQ(published, expected);
    // Two seconds between rounds: three rounds with a wait after the first two (the third ends
    // site 2 and site 1 publishes its last; the fourth round finds both finished).
    EXPECT_GE(fakeClock.sleptMs(), 6000);
}

// ---- Independent mode: the launcher --------------------------------------------------------------

class ConcurrencyTest : public EngineFixture,
                        public ::testing::WithParamInterface<std::pair<std::string, int>> {};

TEST_P(ConcurrencyTest, AtMostTheSetNumberOfSitesRunAtOnce) {
    setOptions([](config::RunOptions& o) { o.simultaneousSites = GetParam().first; });
    std::vector<config::SiteConfig> sites;
    for (int i = 1; i <= 4; ++i) {
        sites.push_back(addSite("s" + std::to_string(i), 2, false, [](auto& s) { s.faults.delayMs = 30; }));
    }
    const RunTotals totals = runToEnd(sites);
    EXPECT_EQ(totals.totalUpdated, 8);
    EXPECT_EQ(observer.maxRunning(), GetParam().second);
}

// A value below 1 (or not a number) counts as 1 instead of stalling the run after its first site.
INSTANTIATE_TEST_SUITE_P(Values, ConcurrencyTest,
                         ::testing::Values(std::pair<std::string, int>{"1", 1},
                                           std::pair<std::string, int>{"2", 2},
                                           std::pair<std::string, int>{"0", 1},
                                           std::pair<std::string, int>{"abc", 1}));

// ---- Submission failures, retries, logins ------------------------------------------------------

class RetryTest : public EngineFixture, public ::testing::WithParamInterface<bool> {};

TEST_P(RetryTest, AFailedSubmissionIsRetriedUpToThreeTimesWithTheSameArticle) {
    setOptions([](config::RunOptions& o) {
        o.retryOnFailure = GetParam();
        o.publishInReadOrder = true;
    });
    // The back end forgets the session after one stored article, so the second one fails.
    config::SiteConfig site = addSite("s1", 2, false, [](auto& s) { s.faults.dropSessionAfterArticles = 1; });
    site.titleKeywordInsert = true;
    site.titleKeywordList = "插入词";
    site.titleKeywordPercent = 100;
    const RunTotals totals = runToEnd({site});

    EXPECT_EQ(totals.totalUpdated, 1);
    EXPECT_EQ(articlePosts("s1"), GetParam() ? 4 : 2);
    EXPECT_EQ(observer.countStartingWith("更新失败："), 1);
    // Every submission of the failed article carries one insertion, never a doubled one.
    EXPECT_EQ(observer.countStartingWith("更新失败：插入词：文章2"), 1);
    EXPECT_EQ(server.articles("s1").at(0).field("title"), "插入词：文章1");
}

INSTANTIATE_TEST_SUITE_P(RetryOnFailure, RetryTest, ::testing::Bool());

TEST_F(PublishRunTest, TenFailuresInARowLogInAgainAtMostThreeLoginsPerRun) {
    setOptions([](config::RunOptions& o) { o.publishInReadOrder = true; });
    config::SiteConfig site =
        addSite("s1", 40, false, [](auto& s) { s.faults.dropSessionAfterArticles = 1; });
    const RunTotals totals = runToEnd({site});

    EXPECT_EQ(server.loginCount("s1"), 3);
    EXPECT_EQ(totals.totalUpdated, 3);
    EXPECT_EQ(observer.countStartingWith("开始登录(第 2 次尝试)", 1), 1);
    EXPECT_EQ(observer.countStartingWith("开始登录(第 3 次尝试)", 1), 1);
    EXPECT_EQ(observer.countStartingWith("更新失败：", 1), 30);
    // A re-login goes on with the list where it was (name order: 文章1, 文章10..文章19, 文章2, ...), so
    // no article is taken twice.
    std::set<std::string> titles;
    for (const auto& article : server.articles("s1")) titles.insert(article.field("title"));
    EXPECT_EQ(titles, (std::set<std::string>{"文章1", "文章2", "文章3"}));
    EXPECT_EQ(observer.countStartingWith("读取文章列表成功", 1), 1);
    EXPECT_EQ(totals.summary.at(0), (SiteResult{1, 3, 40, 40, 0, true, 0, 3}));
}

// A wrong password is not tried again (on DedeBIZ a third one within a minute brings on the
// verification code); a login that failed for another reason is tried three times.
TEST_F(PublishRunTest, ASiteThatCannotLogInIsGivenUpWithoutRegenerationAndTheOthersGoOn) {
    std::vector<config::SiteConfig> sites{
        addSite("s1", 2, false, [](auto& s) { s.faults.refuseLogin = true; }), addSite("s2", 2),
        addSite("s3", 1, false, [](auto& s) { s.faults.serverError = true; })};
    sites[0].refreshHtmlMode = 1;
    const RunTotals totals = runToEnd(sites);

    EXPECT_EQ(siteLines(1), (std::vector<std::string>{"开始登录", "登录失败（你的密码错误!）",
                                                      "后台拒绝了用户名或密码，不再重试！将被忽略更新！",
                                                      "已停止更新，本次成功更新 0 篇"}));
    EXPECT_EQ(loginPosts("s1"), 1);
    EXPECT_EQ(requestsTo("s1", "makehtml"), 0);
    EXPECT_EQ(totals.summary.at(0), (SiteResult{1, 0, 0, 0}));
    EXPECT_EQ(totals.summary.at(1).actual, 2);
    EXPECT_EQ(observer.countStartingWith("登录失败，正在重试..（HTTP 500，服务器内部错误）", 3), 3);
    EXPECT_EQ(observer.countStartingWith("经过多次重试依然登录失败！将被忽略更新！", 3), 1);
    EXPECT_TRUE(fs::exists(data.path() / utf8Path("登录失败.htm")));
}

// Regression (for the folder that is there): a folder without a passing file logged the warning
// meant for a wrong folder; it is a plain notice, the warning stays for a folder that is not there.
TEST_F(PublishRunTest, IncompleteConfigurationAndEmptyFolderEndTheSiteWithTheirMessages) {
    std::vector<config::SiteConfig> sites{addSite("s1", 1), addSite("s2", 0), addSite("s3", 0)};
    sites[0].password.clear();
    sites[1].fileFilter = "*.htm";
    sites[2].articleDir += "/missing";
    runToEnd(sites);
    EXPECT_EQ(observer.countStartingWith("文章目录“" + sites[1].articleDir +
                                             "”中没有符合文件过滤“*.htm”的文章，本站点这次没有要更新的文章",
                                         2),
              1);
    EXPECT_EQ(siteLines(1),
              (std::vector<std::string>{"站点配置信息不足，请检查域名、用户名、密码是否正确！将被忽略更新！",
                                        "已停止更新，本次成功更新 0 篇"}));
    EXPECT_EQ(server.requests("s1").size(), 0u);
    EXPECT_EQ(
        observer.countStartingWith("读不到文章，请检查文章目录或文件过滤是否正确！当前的文件过滤为“" +
                                       sites[2].fileFilter + "”，文章目录为“" + sites[2].articleDir + "”",
                                   3),
        1);
    EXPECT_EQ(observer.countStartingWith("已停止更新，本次成功更新 0 篇", 2), 1);
    EXPECT_EQ(observer.countStartingWith("已停止更新，本次成功更新 0 篇", 3), 1);
}

// ---- Stops -------------------------------------------------------------------------------------

TEST_F(PublishRunTest, StopDuringAPauseEndsThePauseAndStillRegenerates) {
    config::SiteConfig site = addSite("s1", 5);
    site.intervalMin = 30;
    site.intervalMax = 30;
    site.refreshHtmlMode = 1;
    PublishRun& run = makeRun();
    fakeClock.setOnSleep([&run](std::int64_t) { run.requestStop(); });
    const RunTotals totals = runToEnd({site});

    EXPECT_EQ(totals.totalUpdated, 1);
    EXPECT_LT(fakeClock.sleptMs(), 1000);  // the 30 s pause ended at its first step
    EXPECT_EQ(observer.countStartingWith("正在刷新栏目和主页HTML...", 1), 1);
    EXPECT_GT(requestsTo("s1", "makehtml_homepage.php"), 0);
    EXPECT_EQ(observer.countStartingWith("已强制全部停止更新"), 1);
}

// The second submission takes 1.5 s on the server, which stores it. A stop (graceful) or an abort
// comes while it is on the wire.
class StopDuringSubmissionTest : public EngineFixture, public ::testing::WithParamInterface<bool> {
   protected:
    void stopDuringSecondSubmission(config::SiteConfig& site, bool abort) {
        site.refreshHtmlMode = 1;
        site.deleteAfterPublish = true;
        setOptions([](config::RunOptions& o) { o.retryOnFailure = true; });
        observer.setHook([this](const LogEntry& e) {
            if (e.text.rfind("已成功更新 1 篇", 0) == 0) {
                StandinFaults faults;
                faults.delayMs = 1500;
                server.setFaults("s1", faults);
            }
        });
        PublishRun& run = makeRun(PublishRunSetup{}.stopGrace);  // the grace a run has by default
        start({site});
        while (articlePosts("s1") < 2) std::this_thread::sleep_for(5ms);
        server.setFaults("s1", {});  // later requests answer at once
        stoppedAt = std::chrono::steady_clock::now();
        abort ? run.abortNow() : run.requestStop();
        ASSERT_TRUE(run.waitFor(20s));
        endedAt = std::chrono::steady_clock::now();
    }
    std::chrono::steady_clock::time_point stoppedAt, endedAt;
};

TEST_P(StopDuringSubmissionTest, AStopWaitsForTheAnswerAnAbortLeavesTheOutcomeUnknown) {
    const bool abort = GetParam();
    config::SiteConfig site = addSite("s1", 4);
    stopDuringSecondSubmission(site, abort);
    const RunTotals totals = *m_run->lastTotals();
    EXPECT_EQ(articlePosts("s1"), 2);  // never sent twice
    EXPECT_EQ(observer.countStartingWith("更新失败："), 0);
    const auto files = std::distance(fs::directory_iterator(site.articleDir), fs::directory_iterator());
    const std::string file = text::gbkToUtf8(readBytes(observer.logFile()));
    if (!abort) {
        // Counted, recorded and regenerated as any other article.
        EXPECT_EQ(totals.totalUpdated, 2);
        EXPECT_EQ(addressLines(site).size(), 2u);
        EXPECT_EQ(files, 2);
        EXPECT_EQ(observer.countStartingWith("正在停止更新：不再开始新的文章，等待 1 个站点"), 1);
        EXPECT_EQ(observer.countStartingWith("正在停止：等待文章提交的回答", 1), 1);
        EXPECT_GT(requestsTo("s1", "makehtml_homepage.php"), 0);
        EXPECT_EQ(totals.unknownOutcome, 0);
        return;
    }
    EXPECT_LT(endedAt - stoppedAt, 1s);
    EXPECT_EQ(totals.totalUpdated, 1);
    EXPECT_EQ(totals.unknownOutcome, 1);
    EXPECT_EQ(totals.summary[0].unknown, 1);
    EXPECT_EQ(files, 3);  // the cut-off article's file stays
    ASSERT_EQ(observer.countStartingWith("结果未知（请求已中止）：", 1), 1);
    EXPECT_NE(file.find("结果未知 1 篇（下次更新时先在网站后台查找，不会重复发送）"), std::string::npos);
    EXPECT_NE(file.find("另有 1 篇文章结果未知"), std::string::npos);
    EXPECT_EQ(observer.countStartingWith("已立即中止所有进行中的请求"), 1);
    // Its failure record says the outcome is unknown.
    std::string title;
    for (const auto& text : observer.textsOf(1)) {
        if (text.rfind("结果未知（请求已中止）：", 0) == 0)
            title = text.substr(std::string("结果未知（请求已中止）：").size());
    }
    const std::string record = readBytes(backend::failureRecordPath(data.path(), site, title));
    EXPECT_EQ(record.rfind("<!-- 结果未知（请求已中止） -->", 0), 0u) << record;
    EXPECT_NE(completionMessage(totals).find("另有 1 篇结果未知"), std::string::npos);
}

// Regression: 60 unwritten files made a message of 60 lines (2,288 pixels, taller than the screen).
TEST(CompletionMessage, NamesTenUnwrittenFilesAndPointsToTheLogForTheRest) {
    RunTotals totals;
    for (int i = 1; i <= 60; ++i)
        totals.unwrittenFiles.push_back("/data/日志/" + std::to_string(i) + ".txt（磁盘已满）");
    const std::string message = completionMessage(totals);
    EXPECT_NE(message.find("/data/日志/10.txt"), std::string::npos);
    EXPECT_EQ(message.find("/data/日志/11.txt"), std::string::npos);
    EXPECT_TRUE(message.ends_with("\r\n……另有 50 个文件未能写入，全部列在日志末尾")) << message;
    totals.unwrittenFiles.resize(10);
    EXPECT_TRUE(completionMessage(totals).ends_with("/data/日志/10.txt（磁盘已满）"));
}

INSTANTIATE_TEST_SUITE_P(StopOrAbort, StopDuringSubmissionTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Abort" : "Stop"; });

// Regression: a second run that started in the same second emptied the first run's address record.
TEST_F(PublishRunTest, TwoRunsInTheSameSecondBothKeepTheirAddresses) {
    config::SiteConfig site = addSite("s1", 3);
    setOptions([](config::RunOptions& o) { o.republishPublished = true; });
    runToEnd({site});
    runToEnd({site});
    EXPECT_EQ(addressLines(site).size(), 6u);
}

TEST_F(PublishRunTest, StoppingOneSiteLetsTheOthersFinish) {
    std::vector<config::SiteConfig> sites{addSite("s1", 30), addSite("s2", 3)};
    sites[0].intervalMin = sites[0].intervalMax = 0.05f;
    clock = &text::systemClock();
    start(sites);
    ASSERT_TRUE(observer.waitForLine("已成功更新 1 篇", 1));
    EXPECT_TRUE(m_run->stopSelectedSite(1));
    ASSERT_TRUE(m_run->waitFor(20s));
    const RunTotals totals = *m_run->lastTotals();
    EXPECT_LT(totals.summary[0].actual, 30);
    EXPECT_EQ(totals.summary[1].actual, 3);
    EXPECT_EQ(observer.countStartingWith("已强制全部停止更新"), 0);
    EXPECT_FALSE(m_run->stopSelectedSite(1));  // no run any more
}

TEST_F(PublishRunTest, StartingAgainWhileRunningRequestsTheStop) {
    config::SiteConfig site = addSite("s1", 3);
    site.intervalMin = site.intervalMax = 10;
    clock = &text::systemClock();
    start({site});
    ASSERT_TRUE(observer.waitForLine("已成功更新 1 篇", 1));
    config::SiteList list;
    EXPECT_FALSE(m_run->startRun(list, content::ListingMethod::Complete, false));
    EXPECT_EQ(m_run->state(), RunState::Stopping);
    EXPECT_FALSE(m_run->startRun(list, content::ListingMethod::Complete, false));
    EXPECT_EQ(m_run->state(), RunState::Stopping);
    ASSERT_TRUE(m_run->waitFor(2s));
    EXPECT_EQ(observer.states(),
              (std::vector<RunState>{RunState::Running, RunState::Stopping, RunState::Idle}));
}

TEST_F(PublishRunTest, ASiteStoppedBeforeItsTurnNeverStarts) {
    setOptions([](config::RunOptions& o) { o.simultaneousSites = "1"; });
    std::vector<config::SiteConfig> sites{addSite("s1", 3), addSite("s2", 3)};
    sites[0].intervalMin = sites[0].intervalMax = 0.2f;
    clock = &text::systemClock();
    start(sites);
    ASSERT_TRUE(observer.waitForLine("已成功更新 1 篇", 1));
    EXPECT_TRUE(m_run->stopSelectedSite(2));
    ASSERT_TRUE(m_run->waitFor(10s));
    EXPECT_EQ(m_run->lastTotals()->summary.at(0).actual, 3);
    EXPECT_TRUE(server.requests("s2").empty());
    EXPECT_TRUE(observer.textsOf(2).size() == 1u);  // its summary row only
}

// The address records belong to one run: the next run of the same controller starts new files.
TEST_F(PublishRunTest, EachRunHasItsOwnAddressRecordsAndLog) {
    config::SiteConfig site = addSite("s1", 2);
    site.articleCount = 1;
    runToEnd({site});
    fakeClock.advance(std::chrono::minutes(1));
    const RunTotals second = runToEnd({site});
    EXPECT_EQ(second.totalUpdated, 1);
    EXPECT_EQ(server.articleCount("s1"), 2u);
    const fs::path records = data.path() / utf8Path("文章地址");
    EXPECT_EQ(std::distance(fs::directory_iterator(records), fs::directory_iterator()), 2);
    EXPECT_EQ(addressLines(site).size(), 2u);  // one line in each
    EXPECT_EQ(std::distance(fs::directory_iterator(data.path() / utf8Path("日志")), fs::directory_iterator()),
              2);
}

// ---- Unexpected trouble --------------------------------------------------------------------------

TEST_F(PublishRunTest, AnUnexpectedErrorEndsOnlyItsSite) {
    std::vector<config::SiteConfig> sites{addSite("s1", 3), addSite("s2", 3)};
    bool thrown = false;
    observer.setHook([&thrown](const LogEntry& e) {
        if (!thrown && e.siteIndex == 1 && e.text.rfind("已成功更新 1 篇", 0) == 0) {
            thrown = true;
            throw std::runtime_error("boom");
        }
    });
    const RunTotals totals = runToEnd(sites);
    EXPECT_EQ(observer.countStartingWith("站点处理出现意外错误，停止更新本站点：boom", 1), 1);
    EXPECT_EQ(totals.summary[0].actual, 1);
    EXPECT_EQ(server.articleCount("s1"), 1u);
    EXPECT_EQ(totals.summary[1].actual, 3);
}

TEST_F(PublishRunTest, VanishedArticlesAreReportedAndTheSiteGoesOn) {
    config::SiteConfig site = addSite("s1", 3);
    site.deleteAfterPublish = true;
    site.articleCount = 0;
    setOptions([](config::RunOptions& o) { o.publishInReadOrder = true; });
    observer.setHook([&site](const LogEntry& e) {
        if (e.text.rfind("已成功更新 1 篇", 0) == 0)
            fs::remove(fs::path(site.articleDir) / utf8Path("文章3.txt"));
    });
    const RunTotals totals = runToEnd({site});
    EXPECT_EQ(totals.summary.at(0), (SiteResult{1, 2, 3, 3, 0, true, 0, 2}));
    EXPECT_EQ(observer.countStartingWith("文章不存在：" + site.articleDir + "/文章3.txt"), 1);
    // The published files were deleted after their success.
    EXPECT_TRUE(fs::is_empty(site.articleDir));
}

// Regression: a link to the settings file published every site's password, and 更新后删除 then
// deleted the link. Links that lead out of the article folder are refused, at the listing and at
// the reading (a file swapped for one after the listing); loops, dangling links and pipes stay out.
TEST_F(PublishRunTest, LinksLeadingOutOfTheArticleFolderAreNeverPublished) {
    config::SiteConfig site = addSite("s1", 2);
    site.deleteAfterPublish = true;
    site.articleCount = 0;
    setOptions([](config::RunOptions& o) { o.publishInReadOrder = true; });
    std::ofstream(data.path() / utf8Path("Orvane·Zentrel.ini"), std::ios::binary)
        << "[站点1]\r\n密码=secret\r\n";
    const fs::path folder(site.articleDir);
    const fs::path settingsLink = folder / utf8Path("站点设置.txt");
    fs::create_symlink(data.path() / utf8Path("Orvane·Zentrel.ini"), settingsLink);
    fs::create_symlink("/etc/passwd", folder / "passwd.txt");
    fs::create_symlink("gone.txt", folder / "dangling.txt");
    fs::create_symlink("loop.txt", folder / "loop.txt");
    ASSERT_EQ(::mkfifo((folder / "pipe.txt").c_str(), 0600), 0);
    const fs::path second = folder / utf8Path("文章2.txt");
    observer.setHook([&](const LogEntry& e) {
        if (e.text.rfind("已成功更新 1 篇", 0) != 0) return;
        fs::remove(second);
        fs::create_symlink(data.path() / utf8Path("Orvane·Zentrel.ini"), second);
    });
    const RunTotals totals = runToEnd({site});

    EXPECT_EQ(totals.totalUpdated, 1);
    ASSERT_EQ(server.articleCount("s1"), 1u);
    for (const auto& article : server.articles("s1")) {
        EXPECT_EQ(article.field("body").find("secret"), std::string::npos);
        EXPECT_EQ(article.field("body").find("root:"), std::string::npos);
    }
    EXPECT_EQ(observer.countStartingWith("拒绝读取：" + site.articleDir + "/passwd.txt → /etc/passwd", 1), 1);
    EXPECT_EQ(observer.countStartingWith("拒绝读取：" + settingsLink.string() + " → ", 1), 1);
    EXPECT_EQ(observer.countStartingWith("拒绝读取：" + second.string() + " → ", 1), 1);
    EXPECT_EQ(observer.countStartingWith("拒绝读取：", 1), 3);
    // The refused links stay where they are; only the published file went.
    EXPECT_TRUE(fs::is_symlink(settingsLink));
    EXPECT_TRUE(fs::is_symlink(second));
    EXPECT_TRUE(fs::is_symlink(folder / "passwd.txt"));
    EXPECT_FALSE(fs::exists(folder / utf8Path("文章1.txt")));
}

TEST_F(PublishRunTest, ARunWithoutCheckedSitesReportsNothing) {
    config::SiteConfig site = addSite("s1", 2);
    site.enabled = false;
    const RunTotals totals = runToEnd({site});
    EXPECT_EQ(totals.totalUpdated, 0);
    EXPECT_TRUE(totals.summary.empty());
    EXPECT_EQ(server.requests("s1").size(), 0u);
}

}  // namespace
}  // namespace oz::engine::test
