// Every article stored once, and counted, whatever a gateway or a flaky host answers after the back
// end stored it; with and without 失败时重复尝试.
#include <gtest/gtest.h>

#include <map>
#include <tuple>

#include "engine/undeleted_files.h"
#include "engine_fixture.h"
#include "tests/support/file_capabilities.h"

namespace oz::engine::test {
namespace {

using oz::testing::StoredAnswer;

// How many copies of each title a stand-in site holds.
std::map<std::string, int> copiesByTitle(const std::vector<oz::testing::StoredArticle>& articles) {
    std::map<std::string, int> copies;
    for (const auto& article : articles) ++copies[article.title];
    return copies;
}

std::string answerName(StoredAnswer answer) {
    static const char* const kNames[] = {"Page",           "GatewayTimeout", "ServerError",   "Garbage",
                                         "DropConnection", "Late",           "CloseKeptAlive"};
    return kNames[static_cast<int>(answer)];
}

// Titles the back end rewrites and cuts: quotes, an ampersand, and one past the title length.
const std::vector<std::string> kTitles = {
    "它's \"引号\" R&D 测试", "文章2", "这是一个非常非常长的中文标题用来测试后台截断标题的长度限制是否正确"};

struct LateCase {
    StoredAnswer answer;
    int storeAfterMs;  // 0: stored before the answer; > 0: stored that long after the request
    bool retry;
    oz::testing::StandinRelease release = oz::testing::StandinRelease::DedeCms57;
};

class ExactlyOnceTest : public EngineFixture, public ::testing::WithParamInterface<LateCase> {
   protected:
    config::SiteConfig siteWithTitles(const std::string& prefix,
                                      const std::function<void(oz::testing::StandinSite&)>& adjust) {
        config::SiteConfig site = addSite(prefix, 0, false, adjust);
        for (const std::string& title : kTitles) {
            std::ofstream(fs::path(site.articleDir) / utf8Path(title + ".txt"), std::ios::binary)
                << "正文。\r\n";
        }
        return site;
    }
};

// Whatever the answer, and however late after it the back end stores the article: every title is
// stored once and counted once, with its address, its file deleted and no failure left behind.
TEST_P(ExactlyOnceTest, EveryStoredArticleIsStoredOnceAndCounted) {
    const LateCase c = GetParam();
    setOptions([&c](config::RunOptions& o) {
        o.retryOnFailure = c.retry;
        o.publishInReadOrder = true;
    });
    const bool dedeBiz = c.release == oz::testing::StandinRelease::DedeBiz6;
    config::SiteConfig site = siteWithTitles("s1", [&c, dedeBiz](auto& s) {
        s.release = c.release;
        if (dedeBiz) s.adminDir = "admin";
        s.faults.storedAnswer = c.answer;
        s.faults.storeAfterMs = c.storeAfterMs;
        s.faults.lateAnswerMs = 2500;
    });
    if (dedeBiz) site.adminDir = "admin";
    site.deleteAfterPublish = true;
    backend::LoopLimits limits;
    limits.maxAnswerSeconds = 1;
    makeRun(500ms, limits);
    const RunTotals totals = runToEnd({site});

    const auto copies = copiesByTitle(server.articles("s1"));
    EXPECT_EQ(copies.size(), kTitles.size());
    for (const auto& [title, n] : copies) EXPECT_EQ(n, 1) << title;
    EXPECT_EQ(totals.totalUpdated, 3);
    EXPECT_EQ(totals.unknownOutcome, 0);
    EXPECT_EQ(observer.countStartingWith("更新失败："), 0);
    EXPECT_EQ(addressLines(site).size(), 3u);
    EXPECT_TRUE(fs::is_empty(site.articleDir));  // 更新后删除, as for any published article
    // A connection of its own is never a kept-alive one: those articles are simply published.
    const int confirmed = c.answer == StoredAnswer::CloseKeptAlive ? 0 : 3;
    int confirmedLines = 0;
    for (const auto& text : observer.textsOf(1)) confirmedLines += text.ends_with("已在网站后台确认发布）");
    EXPECT_EQ(confirmedLines, confirmed);
    EXPECT_EQ(observer.countStartingWith("结果待确认（"), c.storeAfterMs > 0 ? 3 : 0);
    EXPECT_FALSE(fs::exists(data.path() / utf8Path("更新失败记录")) &&
                 !fs::is_empty(data.path() / utf8Path("更新失败记录")));
}

INSTANTIATE_TEST_SUITE_P(
    Answers, ExactlyOnceTest,
    ::testing::Values(
        LateCase{StoredAnswer::GatewayTimeout, 0, true}, LateCase{StoredAnswer::GatewayTimeout, 0, false},
        LateCase{StoredAnswer::DropConnection, 0, true}, LateCase{StoredAnswer::Late, 0, false},
        LateCase{StoredAnswer::CloseKeptAlive, 0, true},
        // A gateway answers 504 while PHP is still running; the store comes later.
        LateCase{StoredAnswer::GatewayTimeout, 3000, true},
        LateCase{StoredAnswer::GatewayTimeout, 40000, false}, LateCase{StoredAnswer::Late, 3000, true},
        LateCase{StoredAnswer::DropConnection, 90000, true},
        LateCase{StoredAnswer::GatewayTimeout, 3000, true, oz::testing::StandinRelease::DedeBiz6},
        LateCase{StoredAnswer::DropConnection, 0, false, oz::testing::StandinRelease::DedeBiz6}),
    [](const auto& info) {
        const LateCase& c = info.param;
        return std::string(c.release == oz::testing::StandinRelease::DedeBiz6 ? "DedeBiz" : "") +
               answerName(c.answer) +
               (c.storeAfterMs > 0 ? "StoredAfter" + std::to_string(c.storeAfterMs / 1000) + "s" : "") +
               (c.retry ? "Retry" : "Once");
    });

class NothingStoredTest : public EngineFixture, public ::testing::WithParamInterface<bool> {};

// A 504 after which the back end stores nothing. Not found once the settling time is over is no
// proof (a back end may store it later still): it is unknown, never counted failed nor sent again
// in the run, retries on or off. The next run looks it up first and, not finding it, sends it once.
TEST_P(NothingStoredTest, AnArticleNeverStoredIsNotCountedAndIsSentAgainOnlyAfterItsSettlingTime) {
    const bool retry = GetParam();
    setOptions([retry](config::RunOptions& o) { o.retryOnFailure = retry; });
    config::SiteConfig site = addSite("s1", 1, false, [](auto& s) {
        s.faults.storedAnswer = StoredAnswer::GatewayTimeout;
        s.faults.storeAfterMs = -1;
    });
    site.deleteAfterPublish = true;
    // The first send is lost; the back end is well again before a second one.
    observer.setHook([this](const LogEntry& entry) {
        if (entry.text.starts_with("结果待确认（")) server.setFaults("s1", {});
    });
    const RunTotals totals = runToEnd({site});
    EXPECT_EQ(server.articleCount("s1"), 0u);
    EXPECT_EQ(totals.totalUpdated, 0);
    EXPECT_EQ(totals.unknownOutcome, 1);
    EXPECT_EQ(observer.countStartingWith("更新失败："), 0);
    EXPECT_FALSE(fs::is_empty(site.articleDir));
    EXPECT_EQ(
        observer.countStartingWith("结果未知（HTTP 504，网关超时；确认等待时间内网站后台查无此文）：文章1"),
        1);
    // Looked for over the whole settling time before it counted as not stored.
    EXPECT_GE(fakeClock.sleptMs(), 300'000);

    EXPECT_EQ(runToEnd({site}).totalUpdated, 1);
    EXPECT_EQ(server.articleCount("s1"), 1u);
    EXPECT_EQ(articlePosts("s1"), 2);
    EXPECT_TRUE(fs::is_empty(site.articleDir));
}

INSTANTIATE_TEST_SUITE_P(Retry, NothingStoredTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Retry" : "Once"; });

// Two records on one back end: an article the other record published after this record's last
// success, whose title the back end cuts to the same stored title, is never taken for this
// record's lost article.
TEST_F(NothingStoredTest, ALookAlikeOfAnotherRecordNeverCounts) {
    const std::string stem = "b这是一个非常非常长的中文标题用来测试后台截断标题的长度限制";
    const auto write = [](const config::SiteConfig& site, const std::string& title) {
        std::ofstream(fs::path(site.articleDir) / utf8Path(title + ".txt"), std::ios::binary) << "正文。\r\n";
    };
    config::SiteConfig lost = addSite("s1", 0);
    write(lost, "a短标题");
    write(lost, stem + "乙");
    lost.deleteAfterPublish = true;
    config::SiteConfig other = lost;
    other.articleDir = (articlesRoot.path() / "other").string();
    other.deleteAfterPublish = false;
    fs::create_directories(other.articleDir);
    write(other, stem + "甲");
    // Rounds: this record's first article, the other's, then this record's second: answered 504
    // and never stored.
    oz::testing::StandinFaults faults;
    faults.storedAnswer = StoredAnswer::GatewayTimeout;
    faults.storeAfterMs = -1;
    faults.storedAnswerEvery = 3;
    server.setFaults("s1", faults);
    setOptions([](config::RunOptions& o) {
        o.synchronousCycle = true;
        o.independentSites = false;
        o.publishInReadOrder = true;
    });
    const RunTotals totals = runToEnd({lost, other});
    EXPECT_EQ(server.articleCount("s1"), 2u);
    EXPECT_EQ(totals.totalUpdated, 2);
    ASSERT_TRUE(fs::exists(fs::path(lost.articleDir) / utf8Path(stem + "乙.txt")));
    EXPECT_EQ(observer.countStartingWith(
                  "结果未知（HTTP 504，网关超时；确认等待时间内网站后台查无此文）：" + stem + "乙", 1),
              1);
}

class RecordsTest : public EngineFixture {};

// Two records on one site and account publish the same title: the one refused keeps its failure
// record, although the other published the title.
TEST_F(RecordsTest, FailureRecordsBelongToTheirSiteRecord) {
    config::SiteConfig refused = addSite("s1", 1);
    refused.categoryIds = "99";
    config::SiteConfig published = refused;
    published.categoryIds = "1";
    setOptions([](config::RunOptions& o) { o.simultaneousSites = "1"; });
    runToEnd({refused, published});
    EXPECT_EQ(server.articleCount("s1"), 1u);
    EXPECT_TRUE(fs::exists(backend::failureRecordPath(data.path(), refused, "文章1", "#1")));
    EXPECT_FALSE(fs::exists(backend::failureRecordPath(data.path(), published, "文章1", "#2")));
    // The log names each record with its number too.
    for (const LogEntry& entry : observer.entries()) {
        if (entry.siteIndex > 0) {
            EXPECT_TRUE(entry.siteLabel.ends_with("#" + std::to_string(entry.siteIndex))) << entry.siteLabel;
        }
    }
}

// A published file that 更新后删除 cannot delete is said, counted in the summary and never
// published again; once it can be deleted, a later run deletes it.
TEST_F(RecordsTest, APublishedFileThatCannotBeDeletedIsNotPublishedAgain) {
    config::SiteConfig site = addSite("s1", 2);
    site.deleteAfterPublish = true;
    bool deletable = false;
    PublishRunSetup setup;
    setup.dataDir = data.path();
    setup.settings = &settings;
    setup.clock = clock;
    setup.observer = &observer;
    setup.removeFile = [&deletable](const fs::path& file, std::error_code& error) {
        if (deletable) return removeFileOnDisk(file, error);
        error = std::make_error_code(std::errc::read_only_file_system);
        return false;
    };
    m_run = std::make_unique<PublishRun>(setup);
    EXPECT_EQ(runToEnd({site}).totalUpdated, 2);
    EXPECT_EQ(observer.countStartingWith("文章已发布，但文件未能删除（只读文件系统）", 1), 2);
    EXPECT_EQ(observer.countStartingWith("已发布但文件未能删除 2 篇", 1), 1);

    writeArticle(site.articleDir, 3);  // a new article beside them
    EXPECT_EQ(runToEnd({site}).totalUpdated, 1);
    EXPECT_EQ(server.articleCount("s1"), 3u);
    EXPECT_EQ(observer.countStartingWith("跳过已发布但未能删除的文章 2 篇", 1), 1);

    deletable = true;
    runToEnd({site});
    EXPECT_TRUE(fs::is_empty(site.articleDir));
    EXPECT_EQ(server.articleCount("s1"), 3u);
}

// Regression: when the article folder lost its rights during a run, the published file that could
// not be deleted was dropped from the record (its time could not be read) and published again by
// the next run, and the files still there were logged as missing.
TEST_F(RecordsTest, AFolderThatLosesItsRightsKeepsItsPublishedFileOnRecord) {
    config::SiteConfig site = addSite("s1", 3);
    site.deleteAfterPublish = true;
    site.articleCount = 0;
    setOptions([](config::RunOptions& o) { o.publishInReadOrder = true; });
    observer.setHook([&site](const LogEntry& e) {
        if (e.text.rfind("已成功更新 1 篇", 0) == 0) fs::permissions(site.articleDir, fs::perms::none);
    });
    {
        const oz::test::WithoutFileOverride asAnyUser;
        EXPECT_EQ(runToEnd({site}).totalUpdated, 1);
        fs::permissions(site.articleDir, fs::perms::owner_all);
    }
    EXPECT_EQ(observer.countStartingWith("文章已发布，但文件未能删除（没有写入权限）", 1), 1);
    EXPECT_EQ(observer.countStartingWith("文章目录无法读取：", 1), 2);
    EXPECT_EQ(observer.countStartingWith("文章不存在：", 1), 0);
    const std::string record = text::gbkToUtf8(readBytes(data.path() / utf8Path("未能删除的已发布文章.txt")));
    EXPECT_NE(record.find("/文章1.txt\t"), std::string::npos) << record;

    observer.setHook({});
    m_run.reset();
    EXPECT_EQ(runToEnd({site}).totalUpdated, 2);
    EXPECT_EQ(server.articleCount("s1"), 3u);  // 文章1 once
    EXPECT_TRUE(fs::is_empty(site.articleDir));
}

// Regression: names with a line break or bytes that are not UTF-8 never read back, so their files
// were published again by every run. Each name reads back; a record of the older form still loads.
TEST(UndeletedFilesTest, EveryNameReadsBack) {
    TempFolder data;
    TempFolder articles;
    const std::vector<std::string> names = {"普通.txt",   "a\nb.txt",      "c\r\n.txt", "\xCE\xD2\xFF.txt",
                                            "100%41.txt", "tab\there.txt", "%",         "# 注释.txt"};
    const FileRemover keep = [](const fs::path&, std::error_code& error) {
        error = std::make_error_code(std::errc::read_only_file_system);
        return false;
    };
    {
        UndeletedFiles record(data.path());
        for (const std::string& name : names) {
            const std::string path = articles.write(name).string();
            EXPECT_FALSE(record.add(path).has_value()) << name;
        }
    }
    UndeletedFiles reread(data.path());
    reread.load(keep);
    for (const std::string& name : names) EXPECT_TRUE(reread.isPublished((articles / name).string())) << name;
    const std::string text = readBytes(data.path() / utf8Path("未能删除的已发布文章.txt"));
    EXPECT_EQ(text.rfind(text::utf8ToGbk(std::string(kUndeletedHeader)) + "\r\n", 0), 0u);
    EXPECT_NE(text.find(text::utf8ToGbk(articles.str() + "/普通.txt\t")), std::string::npos);

    // The older record: plain paths, no header line.
    const std::string old = articles.str() + "/100%41.txt";
    oz::test::writeBytes(data.path() / utf8Path("未能删除的已发布文章.txt"),
                         text::utf8ToGbk(old + "\t" + std::to_string(*modificationTime(old)) + "\r\n"));
    UndeletedFiles older(data.path());
    older.load(keep);
    EXPECT_TRUE(older.isPublished(old));
}

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
