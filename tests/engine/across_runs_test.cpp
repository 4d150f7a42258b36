// Exactly once across runs, addresses and list orders: the journal of what was sent, the back end
// known by what it holds, and look-ups that do not depend on the list's order.
#include <gtest/gtest.h>

#include <map>

#include "engine_fixture.h"
#include "text/markers.h"

namespace oz::engine::test {
namespace {

using oz::testing::StoredAnswer;

class AcrossRunsTest : public EngineFixture {
   protected:
    std::map<std::string, int> copies(const std::string& prefix) const {
        std::map<std::string, int> byTitle;
        for (const auto& article : server.articles(prefix)) ++byTitle[article.title];
        return byTitle;
    }
    // The journal's one file (one back end in these tests).
    fs::path journalFile() const {
        const fs::path folder = data.path() / utf8Path("已发送文章");
        for (const auto& entry : fs::directory_iterator(folder)) return entry.path();
        return {};
    }
};

// Started again over the same folders, a run publishes nothing twice: each file the back end holds
// is said and skipped, and the summary counts them. A file with new bytes is a new article, and
// 重复发布已发布文件 publishes the others again.
TEST_F(AcrossRunsTest, APublishedFileIsNotPublishedAgainUnlessAsked) {
    config::SiteConfig site = addSite("s1", 3);
    EXPECT_EQ(runToEnd({site}).totalUpdated, 3);
    std::ofstream(fs::path(site.articleDir) / utf8Path("文章2.txt"), std::ios::binary)
        << "改写后的正文。\r\n";
    EXPECT_EQ(runToEnd({site}).totalUpdated, 1);
    EXPECT_EQ(observer.countStartingWith("已发布到此网站，跳过：", 1), 2);
    EXPECT_EQ(observer.countStartingWith("跳过已发布 2 篇", 1), 1);
    EXPECT_EQ(server.articleCount("s1"), 4u);

    setOptions([](config::RunOptions& o) { o.republishPublished = true; });
    EXPECT_EQ(runToEnd({site}).totalUpdated, 3);
    EXPECT_EQ(server.articleCount("s1"), 7u);
}

// Two records reach one back end by different addresses: it is one back end (by its cookie key),
// so what one published the other does not publish again, and their articles share one ledger.
TEST_F(AcrossRunsTest, TwoAddressesOfOneBackEndShareWhatWasSent) {
    config::SiteConfig first = addSite("s1", 2);
    config::SiteConfig second = first;
    second.domain.replace(0, std::string("127.0.0.1").size(), "localhost");
    ASSERT_TRUE(second.domain.starts_with("localhost:"));
    EXPECT_EQ(runToEnd({first}).totalUpdated, 2);
    EXPECT_EQ(runToEnd({second}).totalUpdated, 0);
    EXPECT_EQ(observer.countStartingWith("跳过已发布 2 篇", 1), 1);
    EXPECT_EQ(server.articleCount("s1"), 2u);
}

// A run killed after its journal line and POST, before the outcome: the next run looks each such
// article up before it sends anything. The one the back end stored is counted published and not
// sent again; the one it never got is sent once.
TEST_F(AcrossRunsTest, ARunKilledBetweenPostAndOutcomeSendsNothingTwice) {
    config::SiteConfig site = addSite("s1", 2);
    site.articleCount = 1;
    setOptions([](config::RunOptions& o) { o.publishInReadOrder = true; });
    EXPECT_EQ(runToEnd({site}).totalUpdated, 1);
    ASSERT_EQ(server.articleCount("s1"), 1u);

    // The journal as the kill left it: 文章1 sent (stored), 文章2 sent (never arrived), no outcomes.
    const fs::path file = journalFile();
    const std::string before = readBytes(file);
    std::string killed;
    std::string sentLine;
    for (std::size_t at = 0, end; (end = before.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = before.substr(at, end - at + 1);
        if (line.starts_with("O\t")) continue;
        if (line.starts_with("S\t")) sentLine = line;
        killed += line;
    }
    ASSERT_FALSE(sentLine.empty());
    std::string second = text::replaceAll(sentLine, "文章1", "文章2");
    second.replace(2, second.find('\t', 2) - 2, "killed-2");
    killed += second;
    std::ofstream(file, std::ios::binary | std::ios::trunc) << killed;

    site.articleCount = 0;
    EXPECT_EQ(runToEnd({site}).totalUpdated, 1);
    EXPECT_EQ(observer.countStartingWith("上次结果未知的文章已在站点上：文章1", 1), 1);
    EXPECT_EQ(copies("s1"), (std::map<std::string, int>{{"文章1", 1}, {"文章2", 1}}));
    EXPECT_EQ(articlePosts("s1"), 2);
}

// A list template that sorts by views (most viewed, then oldest, first) hides the newest rows
// beyond page 1: the look-up asks for the list by id, so an article whose answer was lost is
// found, counted once and never sent again.
TEST_F(AcrossRunsTest, TheLookUpDoesNotDependOnTheListsOrder) {
    config::SiteConfig site = addSite("s1", 0, false, [](auto& s) { s.faults.defaultListOrder = "click"; });
    for (int n = 1; n <= 34; ++n) {
        std::ofstream(
            fs::path(site.articleDir) / utf8Path("同一个开头的很长的标题第" + std::to_string(n) + "篇.txt"),
            std::ios::binary)
            << "正文" << n << "。\r\n";
    }
    site.viewCountMin = site.viewCountMax = 100;
    site.articleCount = 32;
    setOptions([](config::RunOptions& o) {
        o.publishInReadOrder = true;
        o.retryOnFailure = true;
    });
    EXPECT_EQ(runToEnd({site}).totalUpdated, 32);
    oz::testing::StandinFaults faults;
    faults.defaultListOrder = "click";
    faults.storedAnswer = StoredAnswer::GatewayTimeout;
    server.setFaults("s1", faults);
    site.articleCount = 0;
    const RunTotals totals = runToEnd({site});
    EXPECT_EQ(totals.totalUpdated, 2);
    EXPECT_EQ(observer.countStartingWith("更新失败："), 0);
    for (const auto& [title, n] : copies("s1")) EXPECT_EQ(n, 1) << title;
    EXPECT_EQ(server.articleCount("s1"), 34u);
}

// 标题首拼: titles with one set of initials never share a static file name, in one run or across
// runs; the later article gets a number, and the log says so.
TEST_F(AcrossRunsTest, StaticFileNamesAreUniqueOnTheBackEnd) {
    config::SiteConfig site = addSite("s1", 0);
    site.fileNameRule = 1;
    for (const std::string title : {"文章标题", "问张表体"}) {
        std::ofstream(fs::path(site.articleDir) / utf8Path(title + ".txt"), std::ios::binary) << "正文。\r\n";
    }
    setOptions([](config::RunOptions& o) { o.publishInReadOrder = true; });
    EXPECT_EQ(runToEnd({site}).totalUpdated, 2);
    std::ofstream(fs::path(site.articleDir) / utf8Path("玩转冰摊.txt"), std::ios::binary) << "正文。\r\n";
    EXPECT_EQ(runToEnd({site}).totalUpdated, 1);
    std::map<std::string, std::string> names;
    for (const auto& article : server.articles("s1")) names[article.title] = article.field("filename");
    EXPECT_EQ(names, (std::map<std::string, std::string>{
                         {"文章标题", "wzbt"}, {"问张表体", "wzbt2"}, {"玩转冰摊", "wzbt3"}}));
    EXPECT_EQ(observer.countStartingWith("静态文件名“wzbt”已有文章使用，改为：wzbt2：问张表体", 1), 1);
}

}  // namespace
}  // namespace oz::engine::test
