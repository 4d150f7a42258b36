#include "engine/run_log.h"

#include <cerrno>
#include <optional>
#include <system_error>
#include <utility>

#include "config/data_folder.h"
#include "config/private_files.h"
#include "engine/date_time_text.h"
#include "text/characters.h"
#include "text/charset.h"
#include "text/path_text.h"

namespace oz::engine {

namespace {

// A log line is one line of the file and one row of the pane: a line break, a tab (the file's
// column separator) or a NUL from a title or a path never reaches it.
std::string oneLine(std::string_view text) { return text::withoutControlCharacters(text); }

}  // namespace

RunLog::RunLog(std::filesystem::path dataDir, const text::Clock& clock, RunObserver* observer)
    : m_dataDir(std::move(dataDir)), m_clock(clock), m_observer(observer) {}

RunLog::~RunLog() { close(); }

std::string RunLog::labelFor(std::string_view domain, std::string_view user) {
    std::string label(domain);
    label += '(';
    label += user;
    label += ')';
    return label;
}

std::string RunLog::fileNameFor(const text::DateTime& start) {
    std::string name = formatDateTime(DateTimeKind::DateAndTime, start);
    for (char& c : name) {
        if (c == ':') c = '-';
    }
    return name + ".txt";
}

void RunLog::setWriteFailures(backend::WriteFailures* failures) {
    std::lock_guard lock(m_mutex);
    m_writeFailures = failures;
}

bool RunLog::open(std::vector<std::string> siteLabels) {
    std::filesystem::path path;
    bool opened = false;
    std::optional<backend::WriteFailure> failure;
    {
        std::lock_guard lock(m_mutex);
        if (m_file.is_open()) m_file.close();
        m_siteLabels = std::move(siteLabels);
        m_entries.clear();
        m_nextSequence = 0;

        const std::filesystem::path folder = m_dataDir / text::utf8Path(config::kLogFolder);
        std::string folderError;
        config::makeOwnFolder(folder, folderError);
        path = folder / text::utf8Path(fileNameFor(m_clock.now()));
        // Appending keeps the log of an earlier run that started in the same second (a very short
        // run, or the hour that repeats when the clock is set back) instead of wiping it.
        errno = config::preparePrivateFile(path);
        if (errno == 0) m_file.open(path, std::ios::binary | std::ios::app);
        opened = m_file.is_open();
        m_filePath = path;
        if (!opened && m_writeFailures != nullptr) {
            failure = backend::WriteFailure{path, backend::writeErrorReason(errno != 0 ? errno : EIO)};
        }
    }
    if (m_observer != nullptr) m_observer->logOpened(path);
    if (failure) m_writeFailures->fileFailed(*failure);
    return opened;
}

void RunLog::logLine(std::string_view text, int siteIndex) {
    LogEntry entry;
    std::optional<backend::WriteFailure> failure;
    {
        std::lock_guard lock(m_mutex);
        entry.sequence = m_nextSequence++;
        entry.time = formatDateTime(DateTimeKind::Time, m_clock.now());
        entry.siteIndex = siteIndex;
        entry.siteLabel = oneLine(labelLocked(siteIndex));
        entry.text = oneLine(text);
        if (m_file.is_open()) {
            std::string line;
            if (entry.text.empty()) {
                line = kSeparatorLine;
            } else {
                line = entry.time + '\t' + entry.siteLabel + '\t' + entry.text;
            }
            line = text::utf8ToGbk(line);
            line += "\r\n";
            errno = 0;
            m_file.write(line.data(), static_cast<std::streamsize>(line.size()));
            // Flushed per line, so the file tells what happened even when the program dies mid-run.
            if (!m_file.flush()) {
                // Told, and later lines tried again: a disk that was full may have room again.
                if (m_writeFailures != nullptr) {
                    failure = backend::WriteFailure{m_filePath,
                                                    backend::writeErrorReason(errno != 0 ? errno : EIO)};
                }
                m_file.clear();
            }
        }
        m_entries.push_back(entry);
    }
    if (m_observer != nullptr) m_observer->logLine(entry);
    if (failure) m_writeFailures->fileFailed(*failure);
}

std::string RunLog::writeSummary(const std::vector<SiteResult>& rows, int totalUpdated,
                                 std::int64_t startTick, const std::vector<backend::WriteFailure>& unwritten,
                                 int lostAddresses) {
    logLine("站群更新结束，当前时间点是：" + formatDateTime(DateTimeKind::DateAndTime, m_clock.now()), 0);
    logLine("下面是本次更新的站点情况一览表", 0);
    int unknown = 0;
    int liveConfirmed = 0;
    int liveFailed = 0;
    bool liveChecked = false;
    for (const SiteResult& row : rows) {
        logLine("实际更新 " + std::to_string(row.actual) + " 篇（设置更新 " + std::to_string(row.planned) +
                    " 篇，读取文章数 " + std::to_string(row.read) + " 篇）",
                row.siteIndex);
        if (row.liveConfirmed + row.liveFailed > 0 || row.homePageFailed) {
            logLine("前台确认 " + std::to_string(row.liveConfirmed) + " 篇，未通过 " +
                        std::to_string(row.liveFailed) + " 篇" + (row.homePageFailed ? "；主页未通过" : ""),
                    row.siteIndex);
            liveChecked = true;
            liveConfirmed += row.liveConfirmed;
            liveFailed += row.liveFailed;
        }
        // Not failed and not published as far as anyone knows: the next run looks them up first.
        if (row.unknown > 0) {
            logLine(
                "结果未知 " + std::to_string(row.unknown) + " 篇（下次更新时先在网站后台查找，不会重复发送）",
                row.siteIndex);
            unknown += row.unknown;
        }
        if (row.skippedPublished > 0) {
            logLine("跳过已发布 " + std::to_string(row.skippedPublished) +
                        " 篇（重复发布请勾选“重复发布已发布文件”）",
                    row.siteIndex);
        }
        if (row.undeleted > 0) {
            logLine("已发布但文件未能删除 " + std::to_string(row.undeleted) +
                        " 篇（以后的更新不再发布它们，见“" + config::kUndeletedArticlesFile + "”）",
                    row.siteIndex);
        }
    }
    if (liveChecked) {
        logLine("前台确认 " + std::to_string(liveConfirmed) + " 篇，未通过 " + std::to_string(liveFailed) +
                    " 篇（未通过的见上面的“前台检查未通过”行，文章已发布，不会重新发布）",
                0);
    }
    if (unknown > 0) {
        logLine("另有 " + std::to_string(unknown) + " 篇文章结果未知：文章文件已保留，更新失败记录中已注明",
                0);
    }
    if (!unwritten.empty()) {
        logLine("以下文件未能写入（磁盘空间或写入权限不足？）：", 0);
        for (const backend::WriteFailure& failure : unwritten) {
            logLine(text::pathText(failure.file) + "（" + failure.reason + "）", 0);
        }
    }
    if (lostAddresses > 0) {
        logLine("另有 " + std::to_string(lostAddresses) +
                    " 篇已发布文章的地址未能写入文章地址记录，见上面的“文章地址未能记录”行",
                0);
    }
    std::string duration = formatDuration(m_clock.tickMs() - startTick);
    logLine("总更新了 " + std::to_string(totalUpdated) + " 篇文章，更新耗费 " + duration, 0);
    close();
    return duration;
}

void RunLog::close() {
    std::lock_guard lock(m_mutex);
    if (m_file.is_open()) m_file.close();
}

bool RunLog::isOpen() const {
    std::lock_guard lock(m_mutex);
    return m_file.is_open();
}

std::filesystem::path RunLog::filePath() const {
    std::lock_guard lock(m_mutex);
    return m_filePath;
}

std::vector<LogEntry> RunLog::entries() const {
    std::lock_guard lock(m_mutex);
    return m_entries;
}

std::string RunLog::siteLabel(int siteIndex) const {
    std::lock_guard lock(m_mutex);
    return labelLocked(siteIndex);
}

std::string RunLog::labelLocked(int siteIndex) const {
    if (siteIndex == 0) return std::string(kGlobalLabel);
    if (siteIndex < 0 || static_cast<std::size_t>(siteIndex) > m_siteLabels.size()) return {};
    return m_siteLabels[static_cast<std::size_t>(siteIndex) - 1];
}

}  // namespace oz::engine
