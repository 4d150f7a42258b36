#include "engine/undeleted_files.h"

#include <charconv>
#include <sstream>
#include <system_error>

#include "config/atomic_file.h"
#include "config/data_folder.h"
#include "content/article_source.h"
#include "text/characters.h"
#include "text/charset.h"

namespace oz::engine {

std::optional<long long> modificationTime(const std::string& path) { return lookAtFile(path).time; }

FileLook lookAtFile(const std::string& path) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(content::toLocalPath(path), error);
    FileLook look;
    if (!error) {
        look.time = static_cast<long long>(time.time_since_epoch().count());
    } else {
        look.gone = error == std::errc::no_such_file_or_directory || error == std::errc::not_a_directory;
    }
    return look;
}

namespace {

constexpr char kHex[] = "0123456789ABCDEF";

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string timeText(const std::optional<long long>& time) { return time ? std::to_string(*time) : "?"; }

std::optional<long long> recordedTime(std::string_view text) {
    long long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

}  // namespace

std::string escapeRecordedPath(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    auto escape = [&out](unsigned char byte) {
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    };
    for (std::size_t at = 0; at < path.size();) {
        const auto byte = static_cast<unsigned char>(path[at]);
        if (byte < 0x80) {
            if (byte == '%' || byte < 0x20 || byte == 0x7F) {
                escape(byte);
            } else {
                out += path[at];
            }
            ++at;
            continue;
        }
        std::size_t length = 0;
        text::codePointAt(path, at, &length);
        if (length == 0) length = 1;
        if (text::isValidUtf8(path.substr(at, length))) {
            out.append(path.substr(at, length));
        } else {
            escape(byte);
            length = 1;
        }
        at += length;
    }
    return out;
}

std::string unescapeRecordedPath(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && hexValue(text[at + 1]) >= 0 &&
            hexValue(text[at + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[at + 1]) * 16 + hexValue(text[at + 2]));
            at += 2;
        } else {
            out += text[at];
        }
    }
    return out;
}

UndeletedFiles::UndeletedFiles(std::filesystem::path dataDir)
    : m_record(dataDir.empty() ? std::filesystem::path() : dataDir / config::kUndeletedArticlesFile) {}

bool removeFileOnDisk(const std::filesystem::path& file, std::error_code& error) {
    std::filesystem::remove(file, error);
    return !error;
}

void UndeletedFiles::load(const FileRemover& remove) {
    std::lock_guard lock(m_mutex);
    m_files.clear();
    if (m_record.empty()) return;
    std::string error;
    const std::optional<std::string> bytes = config::readWholeFile(m_record, error);
    if (!bytes) return;
    std::istringstream lines(text::gbkToUtf8(*bytes));
    bool changed = false;
    bool escaped = false;
    bool first = true;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (first && line == kUndeletedHeader) escaped = true;
        first = false;
        const std::size_t tab = line.rfind('\t');
        if (tab == std::string::npos) continue;
        const std::string path = escaped ? unescapeRecordedPath(line.substr(0, tab)) : line.substr(0, tab);
        const std::string recorded = line.substr(tab + 1);
        const FileLook look = lookAtFile(path);
        if (!look.time && !look.gone) {
            // The folder cannot be searched now: the file may still be there, so it stays.
            m_files[path] = recordedTime(recorded);
            continue;
        }
        std::error_code removeError;
        // A time the record could not read takes the file as it is now.
        if (!look.time || (recorded != "?" && std::to_string(*look.time) != recorded) ||
            remove(std::filesystem::path(content::toLocalPath(path)), removeError)) {
            changed = true;  // gone, changed, or deleted now
            continue;
        }
        if (recorded == "?") changed = true;
        m_files[path] = look.time;
    }
    if (changed || (!escaped && !m_files.empty())) (void)save();
}

bool UndeletedFiles::isPublished(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_files.find(path);
    if (found == m_files.end()) return false;
    const FileLook look = lookAtFile(path);
    return !look.time || !found->second || look.time == found->second;
}

std::optional<backend::WriteFailure> UndeletedFiles::add(const std::string& path) {
    // A file whose time cannot be read (its folder lost its rights) is kept all the same.
    const std::optional<long long> time = modificationTime(path);
    std::lock_guard lock(m_mutex);
    if (m_record.empty()) return std::nullopt;
    m_files[path] = time;
    return save();
}

std::optional<backend::WriteFailure> UndeletedFiles::save() const {
    std::string text = std::string(kUndeletedHeader) + "\r\n";
    for (const auto& [path, time] : m_files)
        text += escapeRecordedPath(path) + "\t" + timeText(time) + "\r\n";
    std::string error;
    const bool written = m_files.empty() ? config::replaceFiles({{m_record, std::nullopt}}, error)
                                         : config::replaceFile(m_record, text::utf8ToGbk(text), error);
    if (written) return std::nullopt;
    return backend::WriteFailure{m_record, error};
}

}  // namespace oz::engine
