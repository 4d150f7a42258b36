#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <map>
#include <streambuf>
#include <thread>

#include "backend/records.h"
#include "headless_fixture.h"
#include "text/clock.h"

namespace oz::app::test {
namespace {

using namespace std::chrono_literals;

class RunCommandTest : public HeadlessFixture {
   protected:
    int run(std::vector<std::string> args = {}) { return invoke(runCommandWith, std::move(args)); }
};

TEST_F(RunCommandTest, PublishesTheCheckedSitesPrintsTheLogAsWrittenAndEndsWithTheCompletionText) {
    std::vector<config::SiteConfig> sites{addSite("s1", 2), addSite("s2", 2)};
    sites[1].enabled = false;
    writeSettings(sites, {});
    ASSERT_EQ(run(), 0) << err.str();

    EXPECT_EQ(server.articleCount("s1"), 2u);
    EXPECT_EQ(server.articleCount("s2"), 0u);
    std::vector<std::string> printed = lines(out.str());
    ASSERT_FALSE(printed.empty());
    EXPECT_EQ(printed.back().rfind("更新完成！总更新了 2 篇文章，更新耗费 ", 0), 0u) << printed.back();
    printed.pop_back();
    // Every line of the log file, in UTF-8 and in the file's order (one site: one writer).
    EXPECT_EQ(printed, logFileLines());
    // Each success line names the title and the address.
    const std::string published = "\t" + sites[0].domain + "(admin)\t已成功更新 2 篇文章[栏目:1]：文章";
    const std::size_t line = out.str().find(published);
    ASSERT_NE(line, std::string::npos) << out.str();
    EXPECT_NE(out.str().substr(line, out.str().find('\n', line) - line).find(" http://" + sites[0].domain),
              std::string::npos);
    EXPECT_EQ(power.calls, 0);
}

// Regression: a run ended with status 0 even when every site's login failed, so neither a script
// nor the schedule service could tell.
TEST_F(RunCommandTest, ExitsOneWhenSomeSitesFailedAndThreeWhenAllDid) {
    std::vector<config::SiteConfig> sites{addSite("s1", 1), addSite("s2", 1)};
    sites[1].password = "wrong";
    writeSettings(sites, {});
    EXPECT_EQ(run(), kSomeFailed) << out.str();
    sites[0].password = "wrong";
    writeSettings(sites, {});
    EXPECT_EQ(run(), kNothingDone) << out.str();
    EXPECT_EQ(run({"--no-such-option"}), kUsageError);
}

// Regression: a home page or article page the visitor sees as a template fault was logged as
// refreshed and the run ended with 0. The live check says so, counts it and ends with 4; switched
// off, not one visitor page is fetched.
TEST_F(RunCommandTest, ALiveCheckFailureIsSaidCountedAndEndsWithStatusFour) {
    std::vector<config::SiteConfig> sites{addSite("s1", 2)};
    sites[0].refreshHtmlMode = 1;
    oz::testing::StandinFaults broken;
    broken.brokenTemplates = true;
    ASSERT_TRUE(server.setFaults("s1", broken));
    writeSettings(sites, {});
    EXPECT_EQ(run(), kLiveCheckFailed) << out.str();
    EXPECT_EQ(server.articleCount("s1"), 2u);
    const std::string printed = out.str();
    EXPECT_NE(printed.find("\t前台检查未通过：文章"), std::string::npos) << printed;
    EXPECT_NE(printed.find("\t前台检查未通过：主页（/var/www/site/templets/default/index.htm Not Found!）"),
              std::string::npos)
        << printed;
    EXPECT_NE(printed.find("\t前台确认 0 篇，未通过 2 篇；主页未通过\n"), std::string::npos) << printed;
    EXPECT_NE(lines(printed).back().find("（前台检查未通过 2 篇，主页也未通过，"), std::string::npos)
        << printed;

    config::RunOptions off;
    off.liveCheck = false;
    sites[0].articleDir = articleFolder("more", 1).string();
    writeSettings(sites, off);
    server.clearRequests();
    EXPECT_EQ(run(), kAllDone) << out.str();
    for (const auto& request : server.requests("s1")) {
        EXPECT_TRUE(request.path.find("/a/") == std::string::npos && request.path != "/s1/") << request.path;
    }
    EXPECT_EQ(out.str().find("前台"), std::string::npos);
}

// Regression: on a full disk the run ended with status 0 and "总更新了 2 篇文章" while the log and
// the address record stayed empty and nothing was said. The files here are links to /dev/full,
// which the run refuses to write through (a link in the data folder is never followed): the
// files are unwritten all the same, and so said.
TEST_F(RunCommandTest, AnUnwrittenFileIsSaidAndTheRunEndsWithStatusOne) {
    const std::vector<config::SiteConfig> sites{addSite("s1", 2)};
    writeSettings(sites, {});
    // Both files of the run are links to /dev/full.
    const fs::path logFile = dataDir / utf8Path("日志") / "2024-05-07 12-12-10.txt";
    const fs::path addresses =
        dataDir / utf8Path("文章地址") /
        utf8Path(backend::fileNameSafe(sites[0].domain) + "(admin) 2024-05-07 12-12-10.txt");
    for (const fs::path& file : {logFile, addresses}) {
        fs::create_directories(file.parent_path());
        fs::create_symlink("/dev/full", file);
    }
    EXPECT_EQ(run(), kSomeFailed);
    const std::string said = err.str();
    const std::string reason = "（是符号链接，不跟随写入）";
    EXPECT_NE(said.find("无法写入文件：" + text::pathText(logFile) + reason), std::string::npos) << said;
    EXPECT_NE(said.find("无法写入文件：" + text::pathText(addresses) + reason), std::string::npos);
    // The addresses the record could not take are on standard error and in the printed log.
    const std::string address = "http://" + server.hostAndPort() + server.articles("s1").at(0).url;
    EXPECT_NE(said.find("文章地址未能记录" + reason + "：" + address), std::string::npos);
    EXPECT_NE(out.str().find("文章地址未能记录" + reason + "：" + address), std::string::npos);
    EXPECT_NE(out.str().find("以下文件未能写入"), std::string::npos);
}

// Regression: with 访问方式1 all entries shared one cookie jar, so the second account's login took
// over the first one's back-end session and its articles were stored under the other account.
TEST_F(RunCommandTest, TwoAccountsOnOneHostPublishUnderTheirOwnSessions) {
    config::SiteConfig admin = addSite("s1", 3, {{"editor", "secret"}});
    admin.intervalMin = admin.intervalMax = 0.15f;  // still publishing when the second one logs in
    config::SiteConfig editor = admin;
    editor.user = "editor";
    editor.password = "secret";
    editor.articleDir = articleFolder("articles-editor", 3).string();
    config::RunOptions options;
    options.accessMethod = 0;
    writeSettings({admin, editor}, options);
    ASSERT_EQ(run(), 0) << err.str();
    std::map<std::string, int> byUser;
    for (const auto& article : server.articles("s1")) ++byUser[article.user];
    EXPECT_EQ(byUser, (std::map<std::string, int>{{"admin", 3}, {"editor", 3}}));
}

// Regression: a site whose host refused every connection was still sent all three login requests
// of each try, and the log did not say why the login failed.
TEST_F(RunCommandTest, UnreachableSiteIsGivenUpAtOnceWithTheReason) {
    config::SiteConfig site = addSite("s1", 1);
    site.domain = "127.0.0.1:1/s1";
    writeSettings({site}, {});
    const auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(run(), kNothingDone) << err.str();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    const std::string printed = out.str();
    std::size_t reasons = 0;
    for (std::size_t at = 0;
         (at = printed.find("登录失败，正在重试..（连接被拒绝）", at)) != std::string::npos; ++at)
        ++reasons;
    EXPECT_EQ(reasons, 3u) << printed;
    EXPECT_NE(printed.find("经过多次重试依然登录失败！"), std::string::npos);
}

TEST_F(RunCommandTest, MissingOrLockedSettingsFileIsAClearError) {
    EXPECT_EQ(run(), kNothingDone);
    EXPECT_NE(err.str().find("找不到设置文件："), std::string::npos) << err.str();
    EXPECT_FALSE(fs::exists(dataDir / config::kSettingsFileName));  // not created empty

    writeSettings({}, {});
    config::SettingsFile holder;
    ASSERT_TRUE(holder.open(dataDir / config::kSettingsFileName));
    EXPECT_EQ(run(), kNothingDone);
    EXPECT_NE(err.str().find("正被另一个程序使用"), std::string::npos) << err.str();
}

TEST_F(RunCommandTest, ArgumentsAndHelp) {
    EXPECT_EQ(run({"--bogus"}), 2);
    EXPECT_NE(err.str().find("--bogus"), std::string::npos);
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_NE(out.str().find("--allow-poweroff"), std::string::npos);
    EXPECT_NE(out.str().find("从不关机"), std::string::npos);
    EXPECT_NE(out.str().find("退出状态"), std::string::npos);
}

// A filter that only the complete listing reads as a pattern inside the name.
class ListingTest : public RunCommandTest, public ::testing::WithParamInterface<bool> {};

TEST_P(ListingTest, FastListingIsChosenOnTheCommandLine) {
    config::SiteConfig site = addSite("s1", 3);
    site.fileFilter = "文章1";
    writeSettings({site}, {});
    ASSERT_EQ(run(GetParam() ? std::vector<std::string>{"--fast-listing"} : std::vector<std::string>{}), 0);
    EXPECT_EQ(server.articleCount("s1"), GetParam() ? 0u : 1u);
}

INSTANTIATE_TEST_SUITE_P(FastOrComplete, ListingTest, ::testing::Bool());

TEST_F(RunCommandTest, AStopRequestEndsTheRunProperlyWithRegenerationAndSummary) {
    hooks.clock = &text::systemClock();
    config::SiteConfig site = addSite("s1", 5);
    site.intervalMin = site.intervalMax = 20;
    site.refreshHtmlMode = 1;
    writeSettings({site}, {});
    hooks.onLogLine = [this](const engine::LogEntry& entry) {
        if (entry.text.rfind("已成功更新 1 篇", 0) == 0) ++interrupts;
    };
    const auto before = std::chrono::steady_clock::now();
    ASSERT_EQ(run(), kSomeFailed);  // stopped before its end
    EXPECT_LT(std::chrono::steady_clock::now() - before, 5s);
    EXPECT_NE(out.str().find("已强制全部停止更新"), std::string::npos);
    EXPECT_NE(out.str().find("正在刷新栏目和主页HTML..."), std::string::npos);
    EXPECT_NE(out.str().find("总更新了 1 篇文章"), std::string::npos);
    EXPECT_EQ(lines(out.str()).back().rfind("更新完成！总更新了 1 篇文章", 0), 0u);
    EXPECT_EQ(server.articleCount("s1"), 1u);
}

TEST_F(RunCommandTest, ASecondStopRequestEndsAHangingRunAtOnce) {
    hooks.clock = &text::systemClock();
    config::SiteConfig site = addSite("s1", 5);
    writeSettings({site}, {});
    std::atomic<bool> hanging{false};
    hooks.onLogLine = [&](const engine::LogEntry& entry) {
        if (entry.text.rfind("已成功更新 1 篇", 0) == 0) {
            oz::testing::StandinFaults faults;
            faults.neverAnswer = true;
            server.setFaults("s1", faults);
            hanging = true;
        }
    };
    std::chrono::steady_clock::time_point secondRequest;
    std::thread stopper([&] {
        while (!hanging) std::this_thread::sleep_for(5ms);
        std::this_thread::sleep_for(100ms);
        ++interrupts;
        std::this_thread::sleep_for(60ms);
        secondRequest = std::chrono::steady_clock::now();
        ++interrupts;
    });
    ASSERT_EQ(run(), kSomeFailed);
    const auto ended = std::chrono::steady_clock::now();
    stopper.join();
    // Well before the half second a plain stop grants a hanging request.
    EXPECT_LT(ended - secondRequest, 350ms);
    EXPECT_NE(out.str().find("总更新了 1 篇文章"), std::string::npos);
}

// Lines reach the observer in any order once they left the log's lock; they are printed in the
// file's order.
TEST(PrintingObserverTest, PrintsLinesInTheOrderOfTheFile) {
    std::ostringstream out;
    HeadlessHooks hooks;
    std::ostringstream err;
    PrintingObserver printer(out, err, hooks);
    printer.logOpened({});
    auto entry = [](std::uint64_t sequence, const std::string& text) {
        engine::LogEntry e;
        e.sequence = sequence;
        e.time = "09:03:02";
        e.siteLabel = "全局";
        e.text = text;
        return e;
    };
    printer.logLine(entry(1, "second"));
    printer.logLine(entry(2, "third"));
    printer.logLine(entry(0, "first"));
    printer.logLine(entry(3, "fourth"));
    EXPECT_EQ(
        out.str(),
        "09:03:02\t全局\tfirst\n09:03:02\t全局\tsecond\n09:03:02\t全局\tthird\n09:03:02\t全局\tfourth\n");
}

// Writes straight to a file descriptor, as standard output does.
class DescriptorBuffer final : public std::streambuf {
   public:
    explicit DescriptorBuffer(int fd) : m_fd(fd) {}

   protected:
    std::streamsize xsputn(const char* data, std::streamsize n) override {
        return ::write(m_fd, data, static_cast<std::size_t>(n)) == n ? n : 0;
    }
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char byte = traits_type::to_char_type(c);
        return ::write(m_fd, &byte, 1) == 1 ? c : traits_type::eof();
    }

   private:
    int m_fd;
};

// `run | head -0`: the reader is gone before the first line; the run still writes its whole log.
TEST_F(RunCommandTest, AClosedStandardOutputDoesNotEndTheRun) {
    writeSettings({addSite("s1", 2)}, {});
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    ::close(fds[0]);
    DescriptorBuffer buffer(fds[1]);
    std::ostream closed(&buffer);
    CommandContext context{{}, dataDir, closed, err};
    EXPECT_EQ(runCommandWith(context, hooks), 0);
    ::close(fds[1]);
    EXPECT_EQ(server.articleCount("s1"), 2u);
    const auto file = logFileLines();
    ASSERT_FALSE(file.empty());
    EXPECT_NE(file.back().find("总更新了 2 篇文章"), std::string::npos);
}

// A closed terminal (SIGHUP) stops the run as Ctrl+C does, instead of killing the process.
TEST_F(RunCommandTest, SigHupStopsTheRunProperly) {
    hooks.interrupts = nullptr;  // the process's own signals
    hooks.clock = &text::systemClock();
    config::SiteConfig site = addSite("s1", 5);
    site.intervalMin = site.intervalMax = 20;
    writeSettings({site}, {});
    hooks.onLogLine = [](const engine::LogEntry& entry) {
        if (entry.text.rfind("已成功更新 1 篇", 0) == 0) std::raise(SIGHUP);
    };
    ASSERT_EQ(run(), kSomeFailed);
    EXPECT_NE(out.str().find("已强制全部停止更新"), std::string::npos);
    EXPECT_EQ(server.articleCount("s1"), 1u);
    EXPECT_NE(logFileLines().back().find("总更新了 1 篇文章"), std::string::npos);
}

class PowerOffTest : public RunCommandTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PowerOffTest, ThePowerOffNeedsTheCommandLineOption) {
    config::RunOptions options;
    options.shutdownWhenDone = true;
    writeSettings({addSite("s1", 1)}, options);
    const bool allowed = GetParam();
    ASSERT_EQ(run(allowed ? std::vector<std::string>{"--allow-poweroff"} : std::vector<std::string>{}), 0);
    EXPECT_EQ(power.calls, allowed ? 1 : 0);
    const std::string text = out.str();
    EXPECT_EQ(text.find("更新完成！总更新了 1 篇文章") != std::string::npos, !allowed);
    EXPECT_EQ(text.find("更新完毕，准备关机..") != std::string::npos, allowed);
    EXPECT_EQ(text.find("距离关机还有 29 秒\n") != std::string::npos, allowed);
    EXPECT_EQ(text.find("距离关机还有 0 秒\n") != std::string::npos, allowed);
    EXPECT_EQ(text.find("--allow-poweroff，不关机") != std::string::npos, !allowed);
}

INSTANTIATE_TEST_SUITE_P(AllowPowerOff, PowerOffTest, ::testing::Bool());

}  // namespace
}  // namespace oz::app::test
