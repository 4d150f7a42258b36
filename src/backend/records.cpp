#include "backend/records.h"

#include <fstream>
#include <system_error>

#include "backend/date_text.h"
#include "config/data_folder.h"
#include "text/characters.h"
#include "text/charset.h"
#include "text/markers.h"

namespace oz::backend {
namespace {

// Serialises the writers of 登录失败.htm, which every site's login shares.
std::mutex& loginRecordMutex() {
    static std::mutex mutex;
    return mutex;
}

bool writeWholeFile(const std::filesystem::path& path, std::string_view bytes) {
    std::error_code ignored;
    std::filesystem::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace

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

void writeLoginFailureRecord(const std::filesystem::path& dataDir, std::string_view answer) {
    if (dataDir.empty()) return;
    std::string page = text::replaceEach(answer, "charset=\"UTF-8\"|charset=UTF-8", "charset=\"gbk\"",
                                         /*caseSensitive=*/false, /*reuseFirst=*/true);
    std::string bytes = text::utf8ToGbk(page);
    std::lock_guard lock(loginRecordMutex());
    writeWholeFile(loginFailureRecordPath(dataDir), bytes);
}

std::filesystem::path failureRecordPath(const std::filesystem::path& dataDir, std::string_view title) {
    return dataDir / config::kFailureRecordFolder / (recordFileStem(title) + ".html");
}

void writeFailureRecord(const std::filesystem::path& dataDir, std::string_view title, std::string_view answer,
                        bool utf8Site) {
    if (dataDir.empty()) return;
    std::filesystem::path path = failureRecordPath(dataDir, title);
    if (utf8Site) {
        writeWholeFile(path, answer);
    } else {
        writeWholeFile(path, text::utf8ToGbk(answer));
    }
}

void writeUnknownOutcomeRecord(const std::filesystem::path& dataDir, std::string_view title, bool utf8Site) {
    if (dataDir.empty()) return;
    std::string escaped;
    for (char c : title) {
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
    const std::string marker(kUnknownOutcomeText);
    std::string page = "<!-- " + marker + " -->\r\n<html><head><meta http-equiv=\"Content-Type\" " +
                       "content=\"text/html; charset=" + (utf8Site ? "utf-8" : "gbk") + "\"><title>" +
                       marker + "</title></head><body>\r\n<p>" + marker + "：" + escaped +
                       "</p>\r\n<p>提交文章的请求在后台回答之前被中止，这篇文章可能已经发布。"
                       "重新更新之前，请先到网站后台确认。</p>\r\n</body></html>\r\n";
    writeFailureRecord(dataDir, title, page, utf8Site);
}

AddressRecordTable::AddressRecordTable(std::filesystem::path dataDir)
    : m_folder(dataDir / config::kAddressRecordFolder), m_hasDataDir(!dataDir.empty()) {}

bool AddressRecordTable::append(const config::SiteConfig& site, std::string_view address,
                                const text::DateTime& now) {
    if (!m_hasDataDir) return false;
    std::string line = text::utf8ToGbk(address) + "\r\n";
    Key key{site.domain, site.user};
    // Held for the write too: two list entries may name the same site, and lines must not mix.
    std::lock_guard lock(m_mutex);
    auto found = m_records.find(key);
    auto mode = std::ios::binary | std::ios::app;
    if (found == m_records.end()) {
        std::string time = text::replaceAll(dateTimeText(now), ":", "-");
        Record record;
        record.path = m_folder / (recordFileStem(site.domain + "(" + site.user + ") " + time) + ".txt");
        std::error_code ignored;
        std::filesystem::create_directories(m_folder, ignored);
        found = m_records.emplace(key, std::move(record)).first;
        mode = std::ios::binary | std::ios::trunc;
    }
    Record& record = found->second;
    record.lastUse = ++m_useCounter;
    if (record.out && !*record.out) {  // an earlier write failed: start afresh
        record.out.reset();
        --m_openCount;
    }
    if (!record.out) {
        if (m_openCount >= kMaxOpenRecords) closeLeastRecentlyUsed();
        auto out = std::make_unique<std::ofstream>(record.path, mode);
        if (!*out) return false;
        record.out = std::move(out);
        ++m_openCount;
    }
    record.out->write(line.data(), static_cast<std::streamsize>(line.size()));
    // Flushed line by line: a crash must not lose the addresses of articles already published.
    return static_cast<bool>(record.out->flush());
}

void AddressRecordTable::closeSite(const config::SiteConfig& site) {
    std::lock_guard lock(m_mutex);
    auto found = m_records.find(Key{site.domain, site.user});
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

std::filesystem::path AddressRecordTable::recordPath(const config::SiteConfig& site) const {
    std::lock_guard lock(m_mutex);
    auto found = m_records.find(Key{site.domain, site.user});
    return found == m_records.end() ? std::filesystem::path() : found->second.path;
}

}  // namespace oz::backend
