#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "backend/admin_session.h"
#include "backend/backend_context.h"
#include "backend/backend_family.h"
#include "backend/records.h"
#include "backend/run_settings.h"
#include "config/site_config.h"
#include "http/http_requester.h"
#include "testing/standin_server.h"
#include "tests/support/temp_folder.h"
#include "text/fake_clock.h"

namespace oz::backend::test {

using oz::test::readBytes;
using oz::test::TempFolder;

using oz::testing::StandinRelease;

// Every release the stand-in imitates, for INSTANTIATE_TEST_SUITE_P.
inline const auto kEveryRelease =
    ::testing::Values(StandinRelease::DedeCms57, StandinRelease::DedeCms58, StandinRelease::DedeBiz6);

inline std::string releaseName(const ::testing::TestParamInfo<StandinRelease>& info) {
    switch (info.param) {
        case StandinRelease::DedeCms58:
            return "DedeCms58";
        case StandinRelease::DedeBiz6:
            return "DedeBiz6";
        case StandinRelease::DedeCms57:
            break;
    }
    return "DedeCms57";
}

// A stand-in back end with site "s1" (UTF-8) and "g1" (GBK), a data folder, settings, a fake
// clock, a draw that always takes the lower bound, and the log lines collected.
class BackendFixture : public ::testing::Test {
   protected:
    void SetUp() override {
        oz::testing::StandinSite utf8;
        utf8.prefix = "s1";
        utf8.release = release;
        if (release == StandinRelease::DedeBiz6) utf8.adminDir = "admin";
        oz::testing::StandinSite gbk;
        gbk.prefix = "g1";
        gbk.charset = text::Charset::Gbk;
        adjustSites(utf8, gbk);
        ASSERT_TRUE(server.addSite(utf8));
        ASSERT_TRUE(server.addSite(gbk));
        ASSERT_TRUE(server.start());
        utf8Site = siteFor("s1", 0);
        utf8Site.adminDir = utf8.adminDir;
        gbkSite = siteFor("g1", 1);
        context.settings = &settings;
        context.dataDir = data.path();
        context.clock = &clock;
        context.random = [](int lo, int) { return lo; };
        context.log = [this](int siteIndex, const std::string& text) {
            std::lock_guard lock(logMutex);
            logLines.emplace_back(siteIndex, text);
        };
        requester.setStopFlags(&requestStop);
    }

    void TearDown() override {
        requestStop = true;
        server.stop();
    }

    // Lets a test change the sites before the server starts.
    virtual void adjustSites(oz::testing::StandinSite&, oz::testing::StandinSite&) {}

    config::SiteConfig siteFor(const std::string& prefix, int charset) const {
        config::SiteConfig site;
        site.domain = server.siteDomain(prefix);
        site.user = "admin";
        site.password = "admin";
        site.charset = charset;
        site.adminDir = "dede";
        return site;
    }

    bool loginTo(const config::SiteConfig& site) {
        AdminSession session{site, requester};
        return login(session, context);
    }

    // What the program should take site "s1" for.
    const BackendFamily& standinFamily() const {
        return release == StandinRelease::DedeBiz6 ? kDedeBiz : kDedeCms;
    }

    std::vector<std::string> logTexts() {
        std::lock_guard lock(logMutex);
        std::vector<std::string> texts;
        for (const auto& line : logLines) texts.push_back(line.second);
        return texts;
    }

    // "METHOD path?query" of every request to the site since the last clear.
    std::vector<std::string> requestLines(const std::string& prefix) const {
        std::vector<std::string> lines;
        for (const auto& request : server.requests(prefix)) {
            lines.push_back(request.method + " " + request.path +
                            (request.query.empty() ? "" : "?" + request.query));
        }
        return lines;
    }

    // The release site "s1" runs (in the folder "admin" for DedeBIZ); set before SetUp.
    StandinRelease release = StandinRelease::DedeCms57;
    oz::testing::StandinServer server;
    TempFolder data;
    OptionsRunSettings settings;
    text::FakeClock clock{text::DateTime{2024, 5, 7, 9, 3, 2}};
    BackendContext context;
    std::atomic<bool> requestStop{false};
    http::HttpRequester requester;
    config::SiteConfig utf8Site;
    config::SiteConfig gbkSite;
    std::mutex logMutex;
    std::vector<std::pair<int, std::string>> logLines;
};

}  // namespace oz::backend::test

namespace oz::backend::test {

// A BackendFixture whose site "s1" runs the release of the test's parameter.
class ReleaseFixture : public BackendFixture, public ::testing::WithParamInterface<StandinRelease> {
   protected:
    ReleaseFixture() { release = GetParam(); }
};

}  // namespace oz::backend::test
