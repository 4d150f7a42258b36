#include "backend/records.h"

#include <cerrno>
#include <fstream>
#include <system_error>

#include "backend/date_text.h"
#include "config/data_folder.h"
#include "config/private_files.h"
#include "config/system_reason.h"
#include "text/characters.h"
#include "text/charset.h"
#include "text/markers.h"
#include "text/path_text.h"

namespace oz::backend {
namespace {

// Serialises the writers of 登录失败.htm, which every site's login shares.
std::mutex& loginRecordMutex() {
    static std::mutex mutex;
    return mutex;
}

std::optional<WriteFailure> writeWholeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::string folderError;
    config::makeOwnFolder(path.parent_path(), folderError);
    errno = config::preparePrivateFile(path);
    if (errno != 0) return WriteFailure{path, writeErrorReason(errno)};
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (out) {
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (out) return std::nullopt;
    }
    return WriteFailure{path, writeErrorReason(errno != 0 ? errno : EIO)};
}

std::string htmlEscaped(std::string_view text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
            case '&':
                escaped += "&amp;";
                break;
            case '<':
                escaped += "&lt;";
                break;
            case '>':
                escaped += "&gt;";
                break;
            default:
                escaped.push_back(c);
        }
    }
    return escaped;
}

// A short page of the program's own in place of an answer: `lead` (a comment that readers look
// for), then the title and what happened.
std::optional<WriteFailure> writeNotePage(const std::filesystem::path& dataDir,
                                          const config::SiteConfig& site, std::string_view title,
                                          std::string_view recordTag, const std::string& lead,
                                          const std::string& note) {
    const bool utf8Site = site.charset == 0;
    const std::string page =
        lead + "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=" +
        (utf8Site ? "utf-8" : "gbk") + "\"><title>" + htmlEscaped(title) + "</title></head><body>\r\n<p>" +
        htmlEscaped(title) + "</p>\r\n<p>" + htmlEscaped(note) + "</p>\r\n</body></html>\r\n";
    return writeWholeFile(failureRecordPath(dataDir, site, title, recordTag),
                          utf8Site ? page : text::utf8ToGbk(page));
}

// A back end decides how large its answers are: each record keeps a head of the answer.
std::string keptAnswer(std::string_view answer) {
    if (answer.size() <= kMaxRecordAnswerBytes) return std::string(answer);
    std::size_t end = kMaxRecordAnswerBytes;  // not inside a UTF-8 sequence
    while (end > 0 && (static_cast<unsigned char>(answer[end]) & 0xC0) == 0x80) --end;
    return std::string(answer.substr(0, end)) + "\r\n<!-- 后台的回答共 " + std::to_string(answer.size()) +
           " 字节，这里只保留了前 " + std::to_string(end) + " 字节 -->\r\n";
}

}  // namespace

std::string writeErrorReason(int error) {
    switch (error) {
        case EACCES:
        case EPERM:
            return "没有写入权限";
        case ELOOP:
            return "是符号链接，不跟随写入";
        default:
            return config::systemReason(error);
    }
}

void WriteFailures::setListener(Listener listener) {
    std::lock_guard lock(m_mutex);
    m_listener = std::move(listener);
}

void WriteFailures::fileFailed(const WriteFailure& failure) {
    Listener listener;
    {
        std::lock_guard lock(m_mutex);
        for (const WriteFailure& known : m_failures) {
            if (known.file == failure.file) return;
        }
        m_failures.push_back(failure);
        listener = m_listener;
    }
    if (listener) listener("无法写入文件：" + text::pathText(failure.file) + "（" + failure.reason + "）");
}

void WriteFailures::addressLost(const WriteFailure& failure, const std::string& address) {
    fileFailed(failure);
    Listener listener;
    {
        std::lock_guard lock(m_mutex);
        ++m_lostAddresses;
        listener = m_listener;
    }
    if (listener) listener(lostAddressText(failure.reason, address));
}

std::vector<WriteFailure> WriteFailures::failures() const {
    std::lock_guard lock(m_mutex);
    return m_failures;
}

int WriteFailures::lostAddresses() const {
    std::lock_guard lock(m_mutex);
    return m_lostAddresses;
}

void WriteFailures::clear() {
    std::lock_guard lock(m_mutex);
    m_failures.clear();
    m_lostAddresses = 0;
}

std::string lostAddressText(const std::string& reason, const std::string& address) {
    return "文章地址未能记录（" + reason + "）：" + address;
}

std::string fileNameSafe(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
        // A control character (a NUL above all, which ends the path) never reaches a file name, and
        // a byte that is not UTF-8 becomes U+FFFD, so none forms of the bytes around a removed one.
        const char32_t codePoint = text::codePointAt(text, at, &length);
        if (text::isControlCharacter(codePoint)) continue;
        if (codePoint >= 0x80) {
            text::appendCodePoint(out, codePoint);
            continue;
        }
        const char c = text[at];
        switch (c) {
            case '\\':
                out += "＼";
                break;
            case '/':
                out += "／";
                break;
            case ':':
                out += "：";
                break;
            case '*':
                out += "＊";
                break;
            case '?':
                out += "？";
                break;
            case '|':
                out += "｜";
                break;
            case '<':
                out += "＜";
                break;
            case '>':
                out += "＞";
                break;
            case '"':
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string recordFileStem(std::string_view text) {
    std::string safe = fileNameSafe(text);
    if (safe.size() <= kMaxRecordStemBytes) return safe;
    std::size_t end = 0;
    while (end < safe.size()) {
        std::size_t next = text::nextChar(safe, end);
        if (next > kMaxRecordStemBytes) break;
        end = next;
    }
    safe.resize(end);
    return safe;
}

std::filesystem::path loginFailureRecordPath(const std::filesystem::path& dataDir) {
    return dataDir / config::kLoginFailureFile;
}

std::optional<WriteFailure> writeLoginFailureRecord(const std::filesystem::path& dataDir,
                                                    std::string_view answer) {
    if (dataDir.empty()) return std::nullopt;
    std::string page = text::replaceEach(keptAnswer(answer),
                                         "charset=\"UTF-8\"|charset='UTF-8'|charset=UTF-8", "charset=\"gbk\"",
                                         /*caseSensitive=*/false, /*reuseFirst=*/true);
    std::string bytes = text::utf8ToGbk(page);
    std::lock_guard lock(loginRecordMutex());
    return writeWholeFile(loginFailureRecordPath(dataDir), bytes);
}

std::filesystem::path failureRecordPath(const std::filesystem::path& dataDir, const config::SiteConfig& site,
                                        std::string_view title, std::string_view recordTag) {
    return dataDir / config::kFailureRecordFolder /
           (recordFileStem(site.domain + "(" + site.user + ")" + std::string(recordTag) + " " +
                           std::string(title)) +
            ".html");
}

std::optional<WriteFailure> writeFailureRecord(const std::filesystem::path& dataDir,
                                               const config::SiteConfig& site, std::string_view title,
                                               std::string_view answer, std::string_view reason,
                                               std::string_view recordTag) {
    if (dataDir.empty()) return std::nullopt;
    if (answer.find_first_not_of(" \t\r\n") == std::string_view::npos) {
        return writeNotePage(dataDir, site, title, recordTag, "",
                             "提交文章失败：" + std::string(reason.empty() ? "后台没有回答" : reason));
    }
    const bool utf8Site = site.charset == 0;
    const std::string kept = keptAnswer(answer);
    return writeWholeFile(failureRecordPath(dataDir, site, title, recordTag),
                          utf8Site ? kept : text::utf8ToGbk(kept));
}

std::optional<WriteFailure> writeUnknownOutcomeRecord(const std::filesystem::path& dataDir,
                                                      const config::SiteConfig& site, std::string_view title,
                                                      std::string_view reason, std::string_view recordTag) {
    if (dataDir.empty()) return std::nullopt;
    const std::string marker = "结果未知（" + std::string(reason) + "）";
    return writeNotePage(
        dataDir, site, title, recordTag, "<!-- " + marker + " -->\r\n",
        marker +
            "：提交文章之后没有得到可以确认的回答，这篇文章可能已经发布。重新更新之前，请先到网站后台确认。");
}

void removeFailureRecord(const std::filesystem::path& dataDir, const config::SiteConfig& site,
                         std::string_view title, std::string_view recordTag) {
    if (dataDir.empty()) return;
    std::error_code ignored;
    std::filesystem::remove(failureRecordPath(dataDir, site, title, recordTag), ignored);
}

AddressRecordTable::AddressRecordTable(std::filesystem::path dataDir)
    : m_folder(dataDir / config::kAddressRecordFolder), m_hasDataDir(!dataDir.empty()) {}

std::optional<WriteFailure> AddressRecordTable::append(const config::SiteConfig& site,
                                                       std::string_view address, const text::DateTime& now,
                                                       std::string_view recordTag) {
    if (!m_hasDataDir) return std::nullopt;
    std::string line = text::utf8ToGbk(address) + "\r\n";
    Key key{site.domain, site.user, std::string(recordTag)};
    // Held for the write too: two list entries may name the same site, and lines must not mix.
    std::lock_guard lock(m_mutex);
    auto found = m_records.find(key);
    // Appended, never emptied: a second run that starts in the same second keeps the first one's.
    const auto mode = std::ios::binary | std::ios::app;
    if (found == m_records.end()) {
        std::string time = text::replaceAll(dateTimeText(now), ":", "-");
        Record record;
        record.path =
            m_folder /
            (recordFileStem(site.domain + "(" + site.user + ")" + std::string(recordTag) + " " + time) +
             ".txt");
        std::string ignored;
        config::makeOwnFolder(m_folder, ignored);
        found = m_records.emplace(key, std::move(record)).first;
    }
    Record& record = found->second;
    record.lastUse = ++m_useCounter;
    if (record.out && !*record.out) {  // an earlier write failed: start afresh
        record.out.reset();
        --m_openCount;
    }
    errno = 0;
    if (!record.out) {
        if (m_openCount >= kMaxOpenRecords) closeLeastRecentlyUsed();
        if (const int problem = config::preparePrivateFile(record.path); problem != 0)
            return WriteFailure{record.path, writeErrorReason(problem)};
        auto out = std::make_unique<std::ofstream>(record.path, mode);
        if (!*out) return WriteFailure{record.path, writeErrorReason(errno != 0 ? errno : EIO)};
        record.out = std::move(out);
        ++m_openCount;
    }
    record.out->write(line.data(), static_cast<std::streamsize>(line.size()));
    // Flushed line by line: a crash must not lose the addresses of articles already published.
    if (record.out->flush()) return std::nullopt;
    return WriteFailure{record.path, writeErrorReason(errno != 0 ? errno : EIO)};
}

void AddressRecordTable::closeSite(const config::SiteConfig& site, std::string_view recordTag) {
    std::lock_guard lock(m_mutex);
    auto found = m_records.find(Key{site.domain, site.user, std::string(recordTag)});
    if (found != m_records.end() && found->second.out) {
        found->second.out.reset();
        --m_openCount;
    }
}

void AddressRecordTable::closeAll() {
    std::lock_guard lock(m_mutex);
    m_records.clear();
    m_openCount = 0;
}

void AddressRecordTable::closeLeastRecentlyUsed() {
    Record* oldest = nullptr;
    for (auto& [key, record] : m_records) {
        if (record.out && (oldest == nullptr || record.lastUse < oldest->lastUse)) oldest = &record;
    }
    if (oldest == nullptr) return;
    oldest->out.reset();
    --m_openCount;
}

std::filesystem::path AddressRecordTable::recordPath(const config::SiteConfig& site,
                                                     std::string_view recordTag) const {
    std::lock_guard lock(m_mutex);
    auto found = m_records.find(Key{site.domain, site.user, std::string(recordTag)});
    return found == m_records.end() ? std::filesystem::path() : found->second.path;
}

}  // namespace oz::backend
