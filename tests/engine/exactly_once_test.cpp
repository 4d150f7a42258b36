// Every article stored once, and counted, whatever a gateway or a flaky host answers after the back
// end stored it; with and without 失败时重复尝试.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "engine_fixture.h"

namespace oz::engine::test {
namespace {

using oz::testing::StoredAnswer;

// How many copies of each title a stand-in site holds.
std::map<std::string, int> copiesByTitle(const std::vector<oz::testing::StoredArticle>& articles) {
    std::map<std::string, int> copies;
    for (const auto& article : articles) ++copies[article.title];
    return copies;
}

std::string caseName(StoredAnswer answer, bool retry) {
    static const char* const kNames[] = {"Page",           "GatewayTimeout", "ServerError",   "Garbage",
                                         "DropConnection", "Late",           "CloseKeptAlive"};
    return std::string(kNames[static_cast<int>(answer)]) + (retry ? "Retry" : "Once");
}

class ExactlyOnceTest : public EngineFixture,
                        public ::testing::WithParamInterface<std::tuple<StoredAnswer, bool>> {};

TEST_P(ExactlyOnceTest, EveryStoredArticleIsStoredOnceAndCounted) {
    const auto [answer, retry] = GetParam();
    setOptions([retry](config::RunOptions& o) {
        o.retryOnFailure = retry;
        o.publishInReadOrder = true;
    });
    config::SiteConfig site = addSite("s1", 3, false, [answer](auto& s) {
        s.faults.storedAnswer = answer;
        s.faults.lateAnswerMs = 2500;
    });
    site.deleteAfterPublish = true;
    backend::LoopLimits limits;
    limits.maxAnswerSeconds = 1;
    makeRun(500ms, limits);
    const RunTotals totals = runToEnd({site});

    const auto copies = copiesByTitle(server.articles("s1"));
    EXPECT_EQ(copies, (std::map<std::string, int>{{"文章1", 1}, {"文章2", 1}, {"文章3", 1}}));
    EXPECT_EQ(totals.totalUpdated, 3);
    EXPECT_EQ(totals.unknownOutcome, 0);
    EXPECT_EQ(observer.countStartingWith("更新失败："), 0);
    EXPECT_EQ(addressLines(site).size(), 3u);
    EXPECT_TRUE(fs::is_empty(site.articleDir));  // 更新后删除, as for any published article
    // A connection of its own is never a kept-alive one: those articles are simply published.
    const int confirmed = answer == StoredAnswer::CloseKeptAlive ? 0 : 3;
    int confirmedLines = 0;
    for (const auto& text : observer.textsOf(1)) confirmedLines += text.ends_with("已在网站后台确认发布）");
    EXPECT_EQ(confirmedLines, confirmed);
    EXPECT_FALSE(fs::exists(data.path() / utf8Path("更新失败记录")) &&
                 !fs::is_empty(data.path() / utf8Path("更新失败记录")));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ExactlyOnceTest,
    ::testing::Combine(::testing::Values(StoredAnswer::GatewayTimeout, StoredAnswer::DropConnection,
                                         StoredAnswer::Late, StoredAnswer::CloseKeptAlive),
                       ::testing::Bool()),
    [](const auto& info) { return caseName(std::get<0>(info.param), std::get<1>(info.param)); });

class SiteGroupTest : public EngineFixture {};

// Many sites, every third stored article answered badly in one of the ways real hosts do: no title
// is stored twice, and the run counts exactly what the sites hold.
TEST_F(SiteGroupTest, SpoiledAnswersStoreNoTitleTwiceAndAreAllCounted) {
    setOptions([](config::RunOptions& o) {
        o.retryOnFailure = true;
        o.simultaneousSites = "6";
    });
    const StoredAnswer answers[] = {StoredAnswer::GatewayTimeout, StoredAnswer::ServerError,
                                    StoredAnswer::Garbage, StoredAnswer::DropConnection,
                                    StoredAnswer::CloseKeptAlive};
    std::vector<config::SiteConfig> sites;
    for (int i = 0; i < 10; ++i) {
        sites.push_back(addSite("g" + std::to_string(i), 4, i % 2 == 1, [&](auto& s) {
            s.faults.storedAnswer = answers[i % 5];
            s.faults.storedAnswerEvery = 3;
        }));
    }
    const RunTotals totals = runToEnd(sites);
    int stored = 0;
    for (int i = 0; i < 10; ++i) {
        for (const auto& [title, n] : copiesByTitle(server.articles("g" + std::to_string(i)))) {
            EXPECT_EQ(n, 1) << title << " on site " << i;
            stored += n;
        }
    }
    EXPECT_EQ(stored, 40);
    EXPECT_EQ(totals.totalUpdated, stored);
    EXPECT_EQ(totals.unknownOutcome, 0);
}

}  // namespace
}  // namespace oz::engine::test
