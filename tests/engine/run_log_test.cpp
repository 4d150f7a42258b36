#include "engine/run_log.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <thread>

#include "backend/records.h"
#include "tests/support/temp_folder.h"
#include "text/charset.h"
#include "text/fake_clock.h"

namespace oz::engine {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

using oz::test::readBytes;

// The file's lines, split at CR LF; a lone LF or CR would stay inside a line and fail the tests.
std::vector<std::string> crlfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t end; (end = bytes.find("\r\n", begin)) != std::string::npos; begin = end + 2) {
        lines.push_back(bytes.substr(begin, end - begin));
    }
    EXPECT_EQ(begin, bytes.size()) << "the file must end with CR LF";
    return lines;
}

class RunLogTest : public ::testing::Test {
   protected:
    fs::path logFolder() const { return m_dir / fs::path(u8"日志"); }

    oz::test::TempFolder m_root;
    const fs::path m_dir = m_root / "data";  // not there yet: the log creates it
    text::FakeClock m_clock{text::DateTime{2024, 5, 7, 9, 3, 2}};
};

TEST_F(RunLogTest, FileIsNamedAfterTheStartWithColonsMadeDashes) {
    RunLog log(m_dir, m_clock);
    ASSERT_TRUE(log.open({}));
    EXPECT_EQ(log.filePath(), logFolder() / fs::path(u8"2024-05-07 09-03-02.txt"));
    EXPECT_TRUE(fs::exists(log.filePath()));
    EXPECT_EQ(RunLog::fileNameFor(text::DateTime{2023, 11, 30, 23, 5, 9}), "2023-11-30 23-05-09.txt");
}

// Regression: under umask 000 the folders 日志/ and 文章地址/ became 0777 and their files 0666.
TEST_F(RunLogTest, LogsAndAddressRecordsAreTheOwnersOnlyWhateverTheUmask) {
    oz::test::ScopedUmask open(0);
    RunLog log(m_dir, m_clock);
    ASSERT_TRUE(log.open({}));
    log.logLine("站群更新开始", 0);
    log.close();
    EXPECT_EQ(oz::test::modeOf(logFolder()), 0700u);
    EXPECT_EQ(oz::test::modeOf(log.filePath()), 0600u);

    backend::AddressRecordTable addresses(m_dir);
    config::SiteConfig site;
    site.domain = "a.com";
    site.user = "admin";
    ASSERT_FALSE(addresses.append(site, "http://a.com/a/1.html", m_clock.now()));
    addresses.closeAll();
    const fs::path folder = m_dir / fs::path(u8"文章地址");
    EXPECT_EQ(oz::test::modeOf(folder), 0700u);
    for (const auto& entry : fs::directory_iterator(folder)) EXPECT_EQ(oz::test::modeOf(entry.path()), 0600u);
}

TEST_F(RunLogTest, LinesAreTimeTabLabelTabTextInGbkWithCrLf) {
    RunLog log(m_dir, m_clock);
    ASSERT_TRUE(log.open({RunLog::labelFor("a.com", "admin"), RunLog::labelFor("b.cn", "编辑")}));
    log.logLine("站群更新开始", 0);
    m_clock.advance(1000ms);
    log.logLine("登录成功", 2);
    log.logLine("", 1);
    log.logLine("out of range", 3);
    log.close();

    const std::string bytes = readBytes(log.filePath());
    // "全局" in GBK, written as bytes, not UTF-8.
    EXPECT_NE(bytes.find("\xC8\xAB\xBE\xD6"), std::string::npos);
    const std::vector<std::string> lines = crlfLines(bytes);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(text::gbkToUtf8(lines[0]), "09:03:02\t全局\t站群更新开始");
    EXPECT_EQ(text::gbkToUtf8(lines[1]), "09:03:03\tb.cn(编辑)\t登录成功");
    EXPECT_EQ(lines[2], "-----------------------------------");
    EXPECT_EQ(lines[3], "09:03:03\t\tout of range");

    const std::vector<LogEntry> entries = log.entries();
    ASSERT_EQ(entries.size(), 4u);
    EXPECT_EQ(entries[1].siteLabel, "b.cn(编辑)");
    EXPECT_TRUE(entries[2].isSeparator());
    EXPECT_EQ(entries[2].siteLabel, "a.com(admin)");
}

// A NUL from a title once went into the log file as a NUL byte; a line break split the line.
TEST_F(RunLogTest, ControlCharactersNeverReachALine) {
    using namespace std::string_literals;
    RunLog log(m_dir, m_clock);
    ASSERT_TRUE(log.open({RunLog::labelFor("a.com", "ad\0min"s)}));
    log.logLine("发布成功：标\0题\r\n第二行\t列\x1B"s, 1);
    log.close();
    const std::vector<std::string> lines = crlfLines(readBytes(log.filePath()));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(text::gbkToUtf8(lines[0]), "09:03:02\ta.com(admin)\t发布成功：标题 第二行 列");
    EXPECT_EQ(log.entries()[0].text, "发布成功：标题 第二行 列");
}

TEST_F(RunLogTest, SummaryBlockListsRowsAndTotalThenClosesTheFile) {
    RunLog log(m_dir, m_clock);
    const std::int64_t startTick = m_clock.tickMs();
    ASSERT_TRUE(log.open({"a.com(admin)", "b.cn(root)", "c.net(x)"}));
    m_clock.advance(90'000ms);
    const std::string duration =
        log.writeSummary({SiteResult::fromRun(1, 3, 5, 40), SiteResult::fromRun(3, 2, 0, 37)}, 5, startTick);
    EXPECT_EQ(duration, "1.5 分");
    EXPECT_FALSE(log.isOpen());

    const std::vector<std::string> lines = crlfLines(readBytes(log.filePath()));
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(text::gbkToUtf8(lines[0]), "09:04:32\t全局\t站群更新结束，当前时间点是：2024-05-07 09:04:32");
    EXPECT_EQ(text::gbkToUtf8(lines[1]), "09:04:32\t全局\t下面是本次更新的站点情况一览表");
    EXPECT_EQ(text::gbkToUtf8(lines[2]),
              "09:04:32\ta.com(admin)\t实际更新 3 篇（设置更新 5 篇，读取文章数 40 篇）");
    // A count of 0 means "all files read".
    EXPECT_EQ(text::gbkToUtf8(lines[3]),
              "09:04:32\tc.net(x)\t实际更新 2 篇（设置更新 37 篇，读取文章数 37 篇）");
    EXPECT_EQ(text::gbkToUtf8(lines[4]), "09:04:32\t全局\t总更新了 5 篇文章，更新耗费 1.5 分");

    // A late line after the summary still reaches the pane, never the closed file.
    log.logLine("late", 1);
    EXPECT_EQ(crlfLines(readBytes(log.filePath())).size(), 5u);
    EXPECT_EQ(log.entries().back().text, "late");
}

TEST_F(RunLogTest, ARunStartingInTheSameSecondKeepsTheEarlierLog) {
    RunLog log(m_dir, m_clock);
    ASSERT_TRUE(log.open({}));
    log.logLine("first run", 0);
    log.close();
    ASSERT_TRUE(log.open({}));
    log.logLine("second run", 0);
    log.close();
    const std::vector<std::string> lines = crlfLines(readBytes(log.filePath()));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("first run"), std::string::npos);
    EXPECT_NE(lines[1].find("second run"), std::string::npos);
    // The pane holds only the current run.
    EXPECT_EQ(log.entries().size(), 1u);
}

TEST_F(RunLogTest, AnUncreatableFileLeavesTheRunGoing) {
    fs::create_directories(m_dir);
    std::ofstream(logFolder()) << "a file where the folder should be";
    RunLog log(m_dir, m_clock);
    EXPECT_FALSE(log.open({}));
    log.logLine("still logged", 0);
    ASSERT_EQ(log.entries().size(), 1u);
    EXPECT_EQ(log.entries()[0].text, "still logged");
}

// Calls back into the log from inside the notification: this deadlocks if the log notifies
// while holding its lock.
class ReentrantObserver : public RunObserver {
   public:
    void logOpened(const fs::path& file) override { opened = file; }
    void logLine(const LogEntry& entry) override {
        seen.push_back(entry);
        linesAtNotify = log->entries().size();
    }

    const RunLog* log = nullptr;
    fs::path opened;
    std::vector<LogEntry> seen;
    std::size_t linesAtNotify = 0;
};

TEST_F(RunLogTest, ObserverIsToldOutsideTheLock) {
    ReentrantObserver observer;
    RunLog log(m_dir, m_clock, &observer);
    observer.log = &log;
    ASSERT_TRUE(log.open({"a.com(admin)"}));
    EXPECT_EQ(observer.opened, log.filePath());
    log.logLine("hello", 1);
    ASSERT_EQ(observer.seen.size(), 1u);
    EXPECT_EQ(observer.seen[0].time, "09:03:02");
    EXPECT_EQ(observer.seen[0].siteLabel, "a.com(admin)");
    EXPECT_EQ(observer.seen[0].text, "hello");
    EXPECT_EQ(observer.linesAtNotify, 1u);
}

TEST_F(RunLogTest, ConcurrentWritersNeverInterleaveLines) {
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 250;
    std::vector<std::string> labels;
    for (int t = 1; t <= kThreads; ++t) labels.push_back("site" + std::to_string(t) + ".com(用户)");
    RunLog log(m_dir, m_clock);
    ASSERT_TRUE(log.open(labels));

    // Long texts make a torn write likely to show if appends were not one unit.
    const std::string filler(300, 'x');
    std::vector<std::thread> threads;
    for (int t = 1; t <= kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLinesEach; ++i) {
                log.logLine("第" + std::to_string(i) + "篇 " + filler + " end" + std::to_string(t), t);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    log.close();

    const std::vector<std::string> lines = crlfLines(readBytes(log.filePath()));
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kThreads * kLinesEach));
    std::set<std::string> expected;
    for (int t = 1; t <= kThreads; ++t) {
        for (int i = 0; i < kLinesEach; ++i) {
            expected.insert("09:03:02\tsite" + std::to_string(t) + ".com(用户)\t第" + std::to_string(i) +
                            "篇 " + filler + " end" + std::to_string(t));
        }
    }
    std::set<std::string> found;
    for (const std::string& line : lines) found.insert(text::gbkToUtf8(line));
    EXPECT_EQ(found, expected);

    // The pane's copy is in file order: sequence numbers 0..n-1.
    const std::vector<LogEntry> entries = log.entries();
    for (std::size_t i = 0; i < entries.size(); ++i) ASSERT_EQ(entries[i].sequence, i);
}

TEST(SiteResultTest, PlannedFallsBackToFilesReadWhenTheLimitIsNotPositive) {
    EXPECT_EQ(SiteResult::fromRun(2, 4, 10, 37), (SiteResult{2, 4, 10, 37, 0, true}));
    EXPECT_EQ(SiteResult::fromRun(2, 4, 0, 37).planned, 37);
    EXPECT_EQ(SiteResult::fromRun(2, 4, -3, 37).planned, 37);
}

}  // namespace
}  // namespace oz::engine
