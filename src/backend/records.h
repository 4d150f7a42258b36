#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <tuple>
#include <utility>
#include <vector>

#include "config/site_config.h"
#include "text/clock.h"

// The files the back-end client keeps in the data folder: the login failure record, the failed
// answers of article submissions and the article address records of a run. A record that cannot be
// written does not stop the work, but it is told (WriteFailures), except the login failure record,
// which only ever holds the latest failure. Without a data folder (an empty path) nothing is
// written.
namespace oz::backend {

// A file of a run that could not be written, and why.
struct WriteFailure {
    std::filesystem::path file;
    std::string reason;  // "磁盘已满", "没有写入权限", "只读文件系统", ... (config::systemReason)
};

// Why a write failed, from its errno.
std::string writeErrorReason(int error);

// "文章地址未能记录（reason）：address": the line that keeps an address its record lost.
std::string lostAddressText(const std::string& reason, const std::string& address);

// The files a run could not write, gathered from every thread. Each file is listed once. The
// listener hears of each file the first time it fails ("无法写入文件：path（reason）") and of every
// article address that could not be recorded (lostAddressText), on the thread that met it.
class WriteFailures {
   public:
    using Listener = std::function<void(const std::string& message)>;
    void setListener(Listener listener);
    void fileFailed(const WriteFailure& failure);
    void addressLost(const WriteFailure& failure, const std::string& address);
    std::vector<WriteFailure> failures() const;
    int lostAddresses() const;
    void clear();

   private:
    mutable std::mutex m_mutex;
    Listener m_listener;
    std::vector<WriteFailure> m_failures;
    int m_lostAddresses = 0;
};

// A text usable as a file name: \ / : * ? | < > become their full-width forms; double quotes and
// control characters (CR, LF, TAB, NUL and the rest) are removed; a byte that is not UTF-8 becomes
// U+FFFD.
std::string fileNameSafe(std::string_view text);

// Longest file name stem written, in bytes, so that a long title still gets its record.
inline constexpr std::size_t kMaxRecordStemBytes = 200;

// fileNameSafe, cut at a character boundary to at most kMaxRecordStemBytes bytes.
std::string recordFileStem(std::string_view text);

// "登录失败.htm": the login answer with its charset declaration changed to "gbk", written as GBK,
// replacing the earlier record; an answer beyond kMaxRecordAnswerBytes keeps its head, as a
// failure record does. One thread at a time writes it (the last writer wins). Returns what failed
// when it could not be written.
[[nodiscard]] std::optional<WriteFailure> writeLoginFailureRecord(const std::filesystem::path& dataDir,
                                                                  std::string_view answer);
std::filesystem::path loginFailureRecordPath(const std::filesystem::path& dataDir);

// "更新失败记录/" + 域名 + "(" + 用户 + ")" + recordTag + " " + safe title + ".html": the site record's
// record of an article it did not take. Named by site as well, since a site group posts the same
// titles everywhere; `recordTag` ("#3") sets apart site records that share 域名 and 用户.
std::filesystem::path failureRecordPath(const std::filesystem::path& dataDir, const config::SiteConfig& site,
                                        std::string_view title, std::string_view recordTag = {});

// The most of an answer a failure record keeps.
inline constexpr std::size_t kMaxRecordAnswerBytes = 1024 * 1024;

// Keeps a failed submission's answer as the site's record of the title, replacing an older one:
// GBK bytes for a GBK site, UTF-8 for a UTF-8 site (so the page's own charset declaration holds).
// An answer beyond kMaxRecordAnswerBytes keeps its head, and a closing comment tells the cut.
// An empty answer (the request failed on the way) gives a short page that names `reason`.
// Returns what failed when the record could not be written.
[[nodiscard]] std::optional<WriteFailure> writeFailureRecord(const std::filesystem::path& dataDir,
                                                             const config::SiteConfig& site,
                                                             std::string_view title, std::string_view answer,
                                                             std::string_view reason,
                                                             std::string_view recordTag = {});

// The record of a submission whose outcome is unknown (the article may be on the site): a short
// page that begins with the comment "<!-- 结果未知（" + reason + "） -->" and tells the operator
// to check the site before the article is published again.
[[nodiscard]] std::optional<WriteFailure> writeUnknownOutcomeRecord(const std::filesystem::path& dataDir,
                                                                    const config::SiteConfig& site,
                                                                    std::string_view title,
                                                                    std::string_view reason,
                                                                    std::string_view recordTag = {});

// Removes the site's record of the title: the article is on the site now.
void removeFailureRecord(const std::filesystem::path& dataDir, const config::SiteConfig& site,
                         std::string_view title, std::string_view recordTag = {});

// The article address records of one run ("文章地址/"): one file per site (域名 + 用户), named
// after the site and the time of its first success in the run, one address per line (GBK, CR LF).
// Shared by every site worker of the run.
class AddressRecordTable {
   public:
    explicit AddressRecordTable(std::filesystem::path dataDir);

    // Appends the address to the site's record. The site's first call of the run names the record
    // 域名 + "(" + 用户 + ")" + recordTag + " " + the time "#1-#2-#3 #4-#5-#6" + ".txt"; a file of
    // that name (a run that started in the same second) is appended to, never emptied. `recordTag`
    // ("#3") keeps apart records that share 域名 and 用户. Returns what failed when the line could not
    // be written.
    [[nodiscard]] std::optional<WriteFailure> append(const config::SiteConfig& site, std::string_view address,
                                                     const text::DateTime& now,
                                                     std::string_view recordTag = {});

    // Closes the site's record file; a later success of the site in this run opens it again for
    // appending. A site worker calls it when its site ends, so a run of many sites does not hold
    // a file open for each.
    void closeSite(const config::SiteConfig& site, std::string_view recordTag = {});

    // Closes every record and forgets them: the next success of a site starts a new file. The run
    // calls it at its end.
    void closeAll();

    // The site's record of this run; empty before its first success.
    std::filesystem::path recordPath(const config::SiteConfig& site, std::string_view recordTag = {}) const;

   private:
    using Key = std::tuple<std::string, std::string, std::string>;  // 域名, 用户, record tag

    // A record stays open between appends: opening the file for every article costs more than
    // writing the line. At most kMaxOpenRecords are open at once (a run in rounds keeps every site
    // going, and a thousand sites would use up the process's files); past that the least recently
    // used one is closed, to be opened again for appending when its site succeeds next.
    static constexpr std::size_t kMaxOpenRecords = 32;
    struct Record {
        std::filesystem::path path;
        std::unique_ptr<std::ofstream> out;
        std::uint64_t lastUse = 0;
    };

    void closeLeastRecentlyUsed();

    std::filesystem::path m_folder;
    bool m_hasDataDir = false;
    mutable std::mutex m_mutex;
    std::map<Key, Record> m_records;
    std::size_t m_openCount = 0;
    std::uint64_t m_useCounter = 0;
};

}  // namespace oz::backend
