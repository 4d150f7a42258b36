#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "config/site_config.h"
#include "text/clock.h"

// The files the back-end client keeps in the data folder: the login failure record, the failed
// answers of article submissions and the article address records of a run. Writing them is best
// effort: a file that cannot be written is skipped and the work goes on. Without a data folder (an
// empty path) nothing is written.
namespace oz::backend {

// A text usable as a file name: \ / : * ? | < > become their full-width forms; double quotes and
// control characters (CR, LF, TAB, NUL and the rest) are removed; a byte that is not UTF-8 becomes
// U+FFFD.
std::string fileNameSafe(std::string_view text);

// Longest file name stem written, in bytes, so that a long title still gets its record.
inline constexpr std::size_t kMaxRecordStemBytes = 200;

// fileNameSafe, cut at a character boundary to at most kMaxRecordStemBytes bytes.
std::string recordFileStem(std::string_view text);

// "登录失败.htm": the login answer with its charset declaration changed to "gbk", written as GBK,
// replacing the earlier record. One thread at a time writes it (the last writer wins).
void writeLoginFailureRecord(const std::filesystem::path& dataDir, std::string_view answer);
std::filesystem::path loginFailureRecordPath(const std::filesystem::path& dataDir);

// "更新失败记录/" + safe title + ".html": a failed submission's answer, as GBK bytes for a GBK site
// and as UTF-8 for a UTF-8 site (so the page's own charset declaration holds). Replaces an older
// record of the same title.
void writeFailureRecord(const std::filesystem::path& dataDir, std::string_view title, std::string_view answer,
                        bool utf8Site);
std::filesystem::path failureRecordPath(const std::filesystem::path& dataDir, std::string_view title);

// What is known of a submission whose request was cut off before the back end answered: nothing.
inline constexpr std::string_view kUnknownOutcomeText = "结果未知（请求已中止）";

// The failure record of such a submission, at failureRecordPath: a short page that begins with the
// comment "<!-- 结果未知（请求已中止） -->" and tells the operator to check the site before the
// article is published again (it may have been stored). Encoded as writeFailureRecord does.
void writeUnknownOutcomeRecord(const std::filesystem::path& dataDir, std::string_view title, bool utf8Site);

// The article address records of one run ("文章地址/"): one file per site (域名 + 用户), named
// after the site and the time of its first success in the run, one address per line (GBK, CR LF).
// Shared by every site worker of the run.
class AddressRecordTable {
   public:
    explicit AddressRecordTable(std::filesystem::path dataDir);

    // Appends the address to the site's record. The site's first call of the run creates the
    // record (emptying a file of the same name) with the name 域名 + "(" + 用户 + ") " + the time
    // "#1-#2-#3 #4-#5-#6" + ".txt". False when the file could not be written.
    bool append(const config::SiteConfig& site, std::string_view address, const text::DateTime& now);

    // Closes the site's record file; a later success of the site in this run opens it again for
    // appending. A site worker calls it when its site ends, so a run of many sites does not hold
    // a file open for each.
    void closeSite(const config::SiteConfig& site);

    // Closes every record and forgets them: the next success of a site starts a new file. The run
    // calls it at its end.
    void closeAll();

    // The site's record of this run; empty before its first success.
    std::filesystem::path recordPath(const config::SiteConfig& site) const;

   private:
    using Key = std::pair<std::string, std::string>;  // 域名, 用户

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
