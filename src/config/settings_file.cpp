#include "config/settings_file.h"

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <vector>

#include "config/atomic_file.h"
#include "config/data_folder.h"
#include "config/file_lock.h"
#include "config/ini_text.h"
#include "config/leftover_temporaries.h"
#include "config/number_text.h"
#include "text/charset.h"
#include "text/markers.h"
#include "text/path_text.h"

namespace oz::config {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr std::string_view kLineBreakMarker = "┊*┊";
constexpr std::string_view kTrueGbk = "\xD5\xE6";   // 真
constexpr std::string_view kFalseGbk = "\xBC\xD9";  // 假
constexpr const char* kSectionFailure = "配置模块出现意外，可能导致无法正常保存！详情请咨询Orvane。";
constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr const char* kUtf8Notice = "设置文件是 UTF-8 编码，已按 UTF-8 读入，保存时将改存为 GBK：";

using text::pathText;
using text::replaceAll;

// A file saved as UTF-8 by a text editor: a byte-order mark, or non-ASCII text that is valid UTF-8
// throughout (the GBK text of this file's Chinese keys never is).
bool looksLikeUtf8File(std::string_view content) {
    if (content.starts_with(kUtf8Mark)) return true;
    const bool ascii = std::all_of(content.begin(), content.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    return !ascii && text::isValidUtf8(content);
}

// A text value's bytes: CR LF as the marker, and so is a bare LF that would end the line.
std::string textValueBytes(std::string_view text) {
    std::string value = text::utf8ToGbk(replaceAll(text, kLineBreak, kLineBreakMarker));
    // From the last LF to the first: whether an LF ends a line depends on the text up to the next
    // LF, which a marker put in place of that one lengthens ("a\nb\n=c": once the second is a
    // marker, the first is followed by "b┊*┊=c" and would end its line).
    const std::string marker = text::utf8ToGbk(kLineBreakMarker);
    for (std::size_t lf = value.rfind('\n'); lf != std::string::npos;
         lf = lf == 0 ? std::string::npos : value.rfind('\n', lf - 1)) {
        if ((lf == 0 || value[lf - 1] != '\r') &&
            IniText::lineFeedEndsLine(std::string_view(value).substr(lf + 1))) {
            value.replace(lf, 1, marker);
        }
    }
    return value;
}

std::string textOfValue(std::string_view raw) {
    return replaceAll(text::gbkToUtf8(raw), kLineBreakMarker, kLineBreak);
}

// A byte value's file name must stay inside the inibin folder.
bool isSafeNamePart(std::string_view part) {
    return part.find_first_of(std::string_view("/\\\0", 3)) == std::string_view::npos;
}

}  // namespace

SettingsFile::SettingsFile() : m_text(std::make_unique<IniText>()) {}

SettingsFile::~SettingsFile() { close(); }

bool SettingsFile::fail(std::string message) const {
    m_lastError = std::move(message);
    return false;
}

bool SettingsFile::open(const fs::path& path, Mode mode) {
    close();
    m_lastError.clear();
    m_path = path;
    m_mode = mode;
    m_section.clear();
    m_sectionGbk.clear();
    std::error_code ec;
    fs::path folder = path.parent_path();
    if (!folder.empty() && !fs::is_directory(folder, ec)) {
        return fail("设置文件所在的文件夹不存在：" + pathText(folder));
    }
    std::string error;
    if (mode == Mode::ReadWrite) {
        m_lock = FileLock::acquire(path, error);
        if (!m_lock) return fail(error);
    }
    // A save that was killed left its temporary files (copies of the settings, passwords and all).
    removeLeftoverTemporaries(path, mode == Mode::ReadWrite);
    bool missing = false;
    std::optional<std::string> bytes = readWholeFile(path, error, &missing);
    if (!bytes && !missing) {
        m_lock.reset();
        return fail(error);
    }
    if (!bytes && mode == Mode::ReadWrite && !replaceFile(path, "", error)) {
        m_lock.reset();
        return fail(error);
    }
    std::string content = bytes ? std::move(*bytes) : std::string();
    m_notice.clear();
    if (looksLikeUtf8File(content)) {
        // Read as what it is; the next save writes the whole file as GBK.
        std::string_view utf8 = content;
        if (utf8.starts_with(kUtf8Mark)) utf8.remove_prefix(kUtf8Mark.size());
        content = text::utf8ToGbk(utf8);
        m_notice = kUtf8Notice + pathText(path);
    }
    m_text = std::make_unique<IniText>(std::move(content));
    m_byteFiles.reset();
    m_open = true;
    return true;
}

void SettingsFile::close() {
    if (!m_open) return;
    m_batchDepth = 0;
    flush();
    m_open = false;
    m_lock.reset();
    m_pendingBytes.clear();
    m_byteFiles.reset();
    m_rawOfText.clear();
    m_dirty = false;
    m_text = std::make_unique<IniText>();
}

void SettingsFile::setSection(std::string_view name) {
    if (name == m_section && !m_sectionGbk.empty()) return;
    m_section = name;
    m_sectionGbk = text::utf8ToGbk(name);
}

const std::string& SettingsFile::gbkOf(std::string_view utf8) const {
    // Keys are mostly the same few literals, asked for millions of times in a large load or save: a
    // slot per address answers them after a comparison instead of a hash of the text.
    RecentKey& recent =
        m_recentKeys[(reinterpret_cast<std::uintptr_t>(utf8.data()) >> 3) % m_recentKeys.size()];
    if (recent.gbk != nullptr && recent.utf8 == utf8) return *recent.gbk;
    auto found = m_gbkCache.find(utf8);
    if (found == m_gbkCache.end()) found = m_gbkCache.emplace(std::string(utf8), text::utf8ToGbk(utf8)).first;
    recent = {found->first, &found->second};  // the map's nodes stay where they are
    return found->second;
}

std::optional<std::string_view> SettingsFile::rawValue(std::string_view key) const {
    if (!m_open) return std::nullopt;
    return m_text->value(m_sectionGbk, gbkOf(key));
}

bool SettingsFile::writeValue(std::string_view key, const std::string& valueGbk) {
    if (!m_open) return fail("设置文件没有打开");
    if (m_mode == Mode::ReadOnly) return fail("设置文件以只读方式打开：" + pathText(m_path));
    const std::string& keyGbk = gbkOf(key);
    if (!IniText::isPlainKey(keyGbk)) return fail("设置项名称无效：" + std::string(key));
    // The settings text itself is not put into the message: it holds passwords.
    if (!m_text->setValue(m_sectionGbk, keyGbk, valueGbk)) return fail(kSectionFailure);
    return changed();
}

bool SettingsFile::changed() {
    m_dirty = true;
    return m_batchDepth > 0 || flush();
}

bool SettingsFile::writeText(std::string_view key, std::string_view text) {
    std::string bytes = textValueBytes(text);
    // Writing back what a read gave keeps the stored bytes, also where they are not valid GBK and
    // the text holds U+FFFD in their place (a password typed in another code page).
    if (auto raw = rawValue(key); raw && (*raw == bytes || textOfValue(*raw) == text)) {
        if (m_mode == Mode::ReadOnly) return fail("设置文件以只读方式打开：" + pathText(m_path));
        return m_notice.empty() || changed();  // a file read as UTF-8 is saved as GBK all the same
    }
    if (auto kept = m_rawOfText.find(text); kept != m_rawOfText.end()) {
        bytes = kept->second;  // a site that moved to another section
    }
    return writeValue(key, bytes);
}

std::string SettingsFile::readText(std::string_view key, std::string_view defaultValue) const {
    auto raw = rawValue(key);
    if (!raw) return std::string(defaultValue);
    std::optional<std::string> decoded = text::decode(*raw, text::Charset::Gbk);
    if (decoded) return replaceAll(*decoded, kLineBreakMarker, kLineBreak);
    std::string text = textOfValue(*raw);
    m_rawOfText.try_emplace(text, *raw);
    return text;
}

bool SettingsFile::writeNumber(std::string_view key, double value) {
    return writeValue(key, formatNumber(value));
}

bool SettingsFile::writeNumber(std::string_view key, float value) {
    return writeValue(key, formatNumber(value));
}

bool SettingsFile::writeNumber(std::string_view key, int value) {
    return writeValue(key, std::to_string(value));
}

double SettingsFile::readNumber(std::string_view key, double defaultValue) const {
    auto raw = rawValue(key);
    if (!raw) return defaultValue;
    return parseNumber(*raw);
}

bool SettingsFile::writeBool(std::string_view key, bool value) {
    return writeValue(key, std::string(value ? kTrueGbk : kFalseGbk));
}

bool SettingsFile::readBool(std::string_view key, bool defaultValue) const {
    auto raw = rawValue(key);
    if (!raw) return defaultValue;
    return *raw == kTrueGbk;
}

fs::path SettingsFile::byteValuePath(std::string_view key) const {
    std::string name = m_section + "-" + std::string(key) + ".ibn";
    return m_path.parent_path() / kByteValuesFolder / text::utf8Path(name);
}

bool SettingsFile::writeBytes(std::string_view key, std::string_view bytes) {
    if (!m_open) return fail("设置文件没有打开");
    if (m_mode == Mode::ReadOnly) return fail("设置文件以只读方式打开：" + pathText(m_path));
    if (!isSafeNamePart(m_section) || !isSafeNamePart(key)) {
        return fail("字节集设置项名称无效：" + m_section + "-" + std::string(key));
    }
    fs::path path = byteValuePath(key);
    // An empty value is a file removed; where there is none, nothing is to be done.
    if (bytes.empty() && !m_pendingBytes.contains(path) && !byteFileMayExist(path)) return true;
    m_pendingBytes[std::move(path)] = std::string(bytes);
    return m_batchDepth > 0 || flush();
}

bool SettingsFile::byteFileMayExist(const fs::path& path) const {
    if (!m_byteFiles) {
        m_byteFiles.emplace();
        std::error_code ec;
        for (fs::directory_iterator it(m_path.parent_path() / kByteValuesFolder, ec), end; !ec && it != end;
             it.increment(ec)) {
            m_byteFiles->insert(it->path());
        }
        // No folder: no files. Any other failure: every file may be there.
        if (ec && ec != std::errc::no_such_file_or_directory) m_byteFiles.reset();
    }
    return !m_byteFiles || m_byteFiles->contains(path);
}

std::string SettingsFile::readBytes(std::string_view key, std::string_view defaultValue) const {
    if (!m_open || !isSafeNamePart(m_section) || !isSafeNamePart(key)) return std::string(defaultValue);
    fs::path path = byteValuePath(key);
    std::optional<std::string> bytes;
    if (auto pending = m_pendingBytes.find(path); pending != m_pendingBytes.end()) {
        bytes = pending->second;
    } else if (byteFileMayExist(path)) {
        std::string error;
        bytes = readWholeFile(path, error);
    }
    if (!bytes || bytes->empty()) return std::string(defaultValue);
    return *bytes;
}

bool SettingsFile::deleteSection(std::string_view name) {
    if (!m_open) return fail("设置文件没有打开");
    if (m_mode == Mode::ReadOnly) return fail("设置文件以只读方式打开：" + pathText(m_path));
    if (!m_text->removeSection(text::utf8ToGbk(name))) {
        m_lastError.clear();
        return false;
    }
    return changed();
}

bool SettingsFile::deleteKey(std::string_view key) {
    if (!m_open) return fail("设置文件没有打开");
    if (m_mode == Mode::ReadOnly) return fail("设置文件以只读方式打开：" + pathText(m_path));
    return !m_text->removeKey(m_sectionGbk, gbkOf(key)) || changed();
}

void SettingsFile::reserve(std::size_t extra) { m_text->reserve(extra); }

std::size_t SettingsFile::byteSize() const { return m_text->byteSize(); }

void SettingsFile::beginBatch() { ++m_batchDepth; }

bool SettingsFile::endBatch() {
    if (m_batchDepth > 0) --m_batchDepth;
    return m_batchDepth > 0 || flush();
}

bool SettingsFile::flush() {
    if (!m_open || m_mode == Mode::ReadOnly) return true;
    if (!m_dirty && m_pendingBytes.empty()) return true;
    std::vector<FileReplacement> files;
    files.reserve(m_pendingBytes.size() + 1);
    for (auto& [path, bytes] : m_pendingBytes) {
        // An empty byte value reads as missing; no file is kept for it.
        files.push_back({path, bytes.empty() ? std::nullopt : std::optional<std::string>(bytes)});
    }
    // The text is lent to the write, not copied: a large site list would otherwise be held twice.
    if (m_dirty) files.push_back({m_path, m_text->takeBytes()});
    std::string error;
    const bool written = replaceFiles(files, error);
    if (m_dirty) m_text->restoreBytes(std::move(*files.back().bytes));
    if (!written) {
        m_byteFiles.reset();  // some may have been written
        return fail(error);
    }
    if (m_byteFiles) {
        for (const auto& [path, bytes] : m_pendingBytes) {
            if (bytes.empty()) {
                m_byteFiles->erase(path);
            } else {
                m_byteFiles->insert(path);
            }
        }
    }
    m_pendingBytes.clear();
    m_dirty = false;
    return true;
}

std::vector<std::string> SettingsFile::sectionNames() const {
    std::vector<std::string> names = m_text->sectionNames();
    for (std::string& name : names) name = text::gbkToUtf8(name);
    return names;
}

std::string SettingsFile::bytes() const { return m_text->bytes(); }

std::string SettingsFile::text() const { return text::gbkToUtf8(m_text->bytes()); }

}  // namespace oz::config
