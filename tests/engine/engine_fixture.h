#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "backend/records.h"
#include "backend/run_settings.h"
#include "config/site_config.h"
#include "engine/publish_run.h"
#include "engine/run_observer.h"
#include "testing/standin_server.h"
#include "tests/support/temp_folder.h"
#include "text/charset.h"
#include "text/fake_clock.h"
#include "text/path_text.h"

namespace oz::engine::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using oz::test::readBytes;
using oz::test::TempFolder;
using text::utf8Path;

// Collects what a run reports; a test may wait for a log line or hook into one.
class RecordingObserver : public RunObserver {
   public:
    void logOpened(const fs::path& file) override {
        std::lock_guard lock(m_mutex);
        m_logFile = file;
    }
    void logLine(const LogEntry& entry) override {
        std::function<void(const LogEntry&)> hook;
        {
            std::lock_guard lock(m_mutex);
            m_entries.push_back(entry);
            if (entry.text == "开始登录" && entry.siteIndex > 0 && m_running.insert(entry.siteIndex).second) {
                m_maxRunning = std::max(m_maxRunning, static_cast<int>(m_running.size()));
            }
            hook = m_hook;
        }
        m_changed.notify_all();
        if (hook) hook(entry);
    }
    void siteFinished(int siteIndex) override {
        std::lock_guard lock(m_mutex);
        m_finished.push_back(siteIndex);
        m_running.erase(siteIndex);
    }
    void runStateChanged(RunState state) override {
        std::lock_guard lock(m_mutex);
        m_states.push_back(state);
    }
    void runEnded(const RunTotals& totals) override {
        std::lock_guard lock(m_mutex);
        m_totals.push_back(totals);
    }

    // Runs on the logging thread after each line is recorded; may throw to inject a fault.
    void setHook(std::function<void(const LogEntry&)> hook) {
        std::lock_guard lock(m_mutex);
        m_hook = std::move(hook);
    }

    // Waits (at most `timeout`) for a line holding `text`, of site `siteIndex` unless it is -1.
    bool waitForLine(const std::string& text, int siteIndex = -1, std::chrono::milliseconds timeout = 10s) {
        std::unique_lock lock(m_mutex);
        return m_changed.wait_for(lock, timeout, [&] {
            return std::any_of(m_entries.begin(), m_entries.end(), [&](const LogEntry& e) {
                return e.text.find(text) != std::string::npos && (siteIndex < 0 || e.siteIndex == siteIndex);
            });
        });
    }

    std::vector<LogEntry> entries() const {
        std::lock_guard lock(m_mutex);
        return m_entries;
    }
    // The texts of one site's lines (0: the run's own lines), in order.
    std::vector<std::string> textsOf(int siteIndex) const {
        std::vector<std::string> texts;
        for (const auto& e : entries()) {
            if (e.siteIndex == siteIndex) texts.push_back(e.text);
        }
        return texts;
    }
    // How many lines (of any site) begin with `prefix`.
    int countStartingWith(const std::string& prefix, int siteIndex = -1) const {
        int n = 0;
        for (const auto& e : entries()) {
            if (e.text.rfind(prefix, 0) == 0 && (siteIndex < 0 || e.siteIndex == siteIndex)) ++n;
        }
        return n;
    }
    std::vector<RunState> states() const {
        std::lock_guard lock(m_mutex);
        return m_states;
    }
    std::vector<RunTotals> totals() const {
        std::lock_guard lock(m_mutex);
        return m_totals;
    }
    std::vector<int> finished() const {
        std::lock_guard lock(m_mutex);
        return m_finished;
    }
    int maxRunning() const {
        std::lock_guard lock(m_mutex);
        return m_maxRunning;
    }
    fs::path logFile() const {
        std::lock_guard lock(m_mutex);
        return m_logFile;
    }

   private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<LogEntry> m_entries;
    std::vector<int> m_finished;
    std::vector<RunState> m_states;
    std::vector<RunTotals> m_totals;
    std::set<int> m_running;
    int m_maxRunning = 0;
    fs::path m_logFile;
    std::function<void(const LogEntry&)> m_hook;
};

// A stand-in back end, a data folder, article folders, run options and a fake clock, with
// helpers to add sites and run.
class EngineFixture : public ::testing::Test {
   protected:
    void TearDown() override {
        if (m_run) m_run->abortNow();
        m_run.reset();
        server.stop();
    }

    // A stand-in site and its configuration with `articles` files "文章N.txt" in a folder of its own.
    config::SiteConfig addSite(const std::string& prefix, int articles, bool gbk = false,
                               const std::function<void(oz::testing::StandinSite&)>& adjust = {}) {
        oz::testing::StandinSite standin;
        standin.prefix = prefix;
        standin.charset = gbk ? text::Charset::Gbk : text::Charset::Utf8;
        if (adjust) adjust(standin);
        EXPECT_TRUE(server.addSite(standin));
        if (!server.isRunning()) {
            EXPECT_TRUE(server.start());
        }

        config::SiteConfig site;
        site.enabled = true;
        site.domain = server.siteDomain(prefix);
        site.user = standin.user;
        site.password = standin.password;
        site.charset = gbk ? 1 : 0;
        site.keywordMethod = 3;
        site.tagMethod = 3;
        site.shortTitleMethod = 3;
        site.authorList = "作者甲";
        site.categoryIds = "1,2";
        site.fileFilter = "*.txt";
        const fs::path folder = articlesRoot.path() / prefix;
        fs::create_directories(folder);
        for (int n = 1; n <= articles; ++n) writeArticle(folder, n);
        site.articleDir = folder.string();
        return site;
    }

    static void writeArticle(const fs::path& folder, int n) {
        std::ofstream(folder / utf8Path("文章" + std::to_string(n) + ".txt"), std::ios::binary)
            << "第" << n << "篇文章的正文。\r\n第二段。\r\n";
    }

    PublishRun& makeRun(std::chrono::milliseconds stopGrace = 500ms, backend::LoopLimits limits = {}) {
        PublishRunSetup setup;
        setup.backendLimits = limits;
        setup.dataDir = data.path();
        setup.settings = &settings;
        setup.clock = clock;
        setup.observer = &observer;
        setup.stopGrace = stopGrace;
        server.setClock(clock);  // late stores happen on the run's time
        m_run = std::make_unique<PublishRun>(setup);
        return *m_run;
    }

    // Starts a run over `sites` and waits for its end (at most 30 s).
    RunTotals runToEnd(const std::vector<config::SiteConfig>& sites, bool scheduled = false) {
        PublishRun& run = m_run ? *m_run : makeRun();
        start(sites, scheduled);
        EXPECT_TRUE(run.waitFor(30s)) << "the run did not end";
        auto totals = run.lastTotals();
        return totals ? *totals : RunTotals{};
    }

    void start(const std::vector<config::SiteConfig>& sites, bool scheduled = false) {
        PublishRun& run = m_run ? *m_run : makeRun();
        config::SiteList list;
        list.sites = sites;
        ASSERT_TRUE(run.startRun(list, content::ListingMethod::Complete, scheduled));
    }

    void setOptions(const std::function<void(config::RunOptions&)>& change) {
        config::RunOptions options = settings.options();
        change(options);
        settings.update(options);
    }

    // The lines of the run's address record files for a site, GBK decoded.
    std::vector<std::string> addressLines(const config::SiteConfig& site) const {
        std::vector<std::string> lines;
        const fs::path folder = data.path() / utf8Path("文章地址");
        if (!fs::exists(folder)) return lines;
        const std::string label = backend::fileNameSafe(site.domain + "(" + site.user + ")");
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::u8string name = entry.path().filename().u8string();
            if (std::string(name.begin(), name.end()).rfind(label, 0) != 0) continue;
            std::string text = text::gbkToUtf8(readBytes(entry.path()));
            std::size_t begin = 0;
            for (std::size_t end; (end = text.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
                if (end > begin) {
                    lines.push_back(text.substr(begin, end - begin));
                }
            }
        }
        return lines;
    }

    // Requests to the site whose path holds `page`, of `method` unless it is empty.
    int requestsTo(const std::string& prefix, const std::string& page, const std::string& method = "") const {
        int n = 0;
        for (const auto& request : server.requests(prefix)) {
            if ((method.empty() || request.method == method) && request.path.find(page) != std::string::npos)
                ++n;
        }
        return n;
    }

    // POST requests to the site's add-article page.
    int articlePosts(const std::string& prefix) const {
        return requestsTo(prefix, "article_add.php", "POST");
    }

    oz::testing::StandinServer server;
    TempFolder data;
    TempFolder articlesRoot;
    backend::OptionsRunSettings settings;
    text::FakeClock fakeClock{text::DateTime{2024, 5, 7, 9, 3, 2}};
    const text::Clock* clock = &fakeClock;
    RecordingObserver observer;
    std::unique_ptr<PublishRun> m_run;
};

}  // namespace oz::engine::test
