#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "app/command_line.h"
#include "app/headless_run.h"
#include "config/data_folder.h"
#include "config/settings_file.h"
#include "config/site_list_store.h"
#include "schedule/power_control.h"
#include "testing/standin_server.h"
#include "tests/support/temp_folder.h"
#include "text/charset.h"
#include "text/fake_clock.h"
#include "text/path_text.h"

namespace oz::app::test {

namespace fs = std::filesystem;

using oz::test::readBytes;
using text::utf8Path;

// Lines of a text split at "\n" (a trailing CR dropped), without an empty last line.
inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

class FakePower final : public schedule::PowerControl {
   public:
    bool powerOff() override {
        ++calls;
        return true;
    }
    std::atomic<int> calls{0};
};

// A stand-in back end, a data folder with a settings file written by the test, article folders
// and the hooks of the headless commands (fake clock, fake power-off, a stop-request counter).
class HeadlessFixture : public ::testing::Test {
   protected:
    HeadlessFixture() {
        fs::create_directories(dataDir);
        hooks.clock = &clock;
        hooks.power = &power;
        hooks.interrupts = &interrupts;
    }
    ~HeadlessFixture() override { server.stop(); }

    // A stand-in site and its record, with `articles` files "文章N.txt".
    config::SiteConfig addSite(const std::string& prefix, int articles,
                               std::vector<std::pair<std::string, std::string>> moreAccounts = {}) {
        oz::testing::StandinSite standin;
        standin.prefix = prefix;
        standin.moreAccounts = std::move(moreAccounts);
        EXPECT_TRUE(server.addSite(standin));
        if (!server.isRunning()) {
            EXPECT_TRUE(server.start());
        }
        config::SiteConfig site = config::initialSiteConfig();
        site.enabled = true;
        site.domain = server.siteDomain(prefix);
        site.user = standin.user;
        site.password = standin.password;
        site.keywordMethod = 3;
        site.tagMethod = 3;
        site.shortTitleMethod = 3;
        site.categoryIds = "1";
        site.fileFilter = "*.txt";
        site.articleDir = articleFolder("articles-" + prefix, articles).string();
        return site;
    }

    // A folder with `articles` files "文章N.txt".
    fs::path articleFolder(const std::string& name, int articles) {
        const fs::path folder = m_dir / name;
        fs::create_directories(folder);
        for (int n = 1; n <= articles; ++n) {
            std::ofstream(folder / utf8Path("文章" + std::to_string(n) + ".txt"), std::ios::binary)
                << "第" << n << "篇的正文。\r\n";
        }
        return folder;
    }

    void writeSettings(const std::vector<config::SiteConfig>& sites, const config::RunOptions& options) {
        config::SettingsFile file;
        ASSERT_TRUE(file.open(dataDir / config::kSettingsFileName)) << file.lastError();
        config::SiteList list;
        list.sites = sites;
        ASSERT_TRUE(config::globalSave(file, options, list)) << file.lastError();
        ASSERT_TRUE(config::saveScheduleOptions(file, options)) << file.lastError();
    }

    int invoke(int (*command)(const CommandContext&, const HeadlessHooks&), std::vector<std::string> args) {
        out.str("");
        err.str("");
        CommandContext context{std::move(args), dataDir, out, err};
        return command(context, hooks);
    }

    // The lines of the only log file, GBK decoded.
    std::vector<std::string> logFileLines() const {
        const fs::path folder = dataDir / utf8Path("日志");
        std::vector<std::string> result;
        if (!fs::exists(folder)) return result;
        for (const auto& entry : fs::directory_iterator(folder)) {
            auto more = lines(text::gbkToUtf8(readBytes(entry.path())));
            result.insert(result.end(), more.begin(), more.end());
        }
        return result;
    }

    oz::test::TempFolder m_dir;
    const fs::path dataDir = m_dir / "data";
    oz::testing::StandinServer server;
    text::FakeClock clock{text::DateTime{2024, 5, 7, 12, 12, 10}};
    FakePower power;
    std::atomic<int> interrupts{0};
    HeadlessHooks hooks;
    std::ostringstream out;
    std::ostringstream err;
};

}  // namespace oz::app::test
