#pragma once

#include <array>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace oz::config {

class FileLock;
class IniText;

// The INI-style store of all persistent state: GBK text with CR LF line ends, "[name]" section
// headers, "key=value" entries, byte values in "inibin/<section>-<key>.ibn" beside the file.
//
// The whole text is kept in memory and edited there exactly as an in-place edit of the file would
// edit it: entries keep their places, a new key becomes the first entry of its section, a new
// section is appended at the end. The file is rewritten as a whole on every flush, through a
// temporary file in the same folder, fsync and rename, so a crash leaves the old or the new
// complete file. Outside a batch every change is flushed before the call returns; inside a batch
// (beginBatch/endBatch) the changes are flushed once at the end.
//
// A writable instance holds an exclusive lock on "<file>.lock" for its lifetime, so a second
// process (or instance) opening the same file gets a clear error instead of editing it too.
//
// Lines end at CR LF or a bare LF (IniText); the file is written with CR LF. A file saved as UTF-8
// is read as UTF-8 and written as GBK at the next flush, with notice() saying so.
//
// Keys and values are UTF-8 here. Not thread-safe: one owner at a time.
class SettingsFile {
   public:
    enum class Mode { ReadWrite, ReadOnly };

    SettingsFile();
    ~SettingsFile();  // flushes pending changes
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // Reads the file into memory. ReadWrite creates a missing file empty (readable by the owner
    // only) and takes the lock; ReadOnly reads what is there (a missing file reads as empty).
    // Either way the temporary files of a save that was killed are removed first
    // (removeLeftoverTemporaries). False with lastError() when the file cannot be read or is in
    // use by another process.
    bool open(const std::filesystem::path& path, Mode mode = Mode::ReadWrite);
    void close();  // flushes and releases the lock
    bool isOpen() const { return m_open; }
    const std::filesystem::path& path() const { return m_path; }

    void setSection(std::string_view name);
    const std::string& section() const { return m_section; }

    // Writes return false (with lastError()) when the value could not be stored or flushed.
    // Reads return the default when the section or the key is missing.
    // CR LF stored as "┊*┊". Writing the text a read gave leaves the stored bytes as they are, even
    // bytes that are not valid GBK.
    bool writeText(std::string_view key, std::string_view text);
    std::string readText(std::string_view key, std::string_view defaultValue = {}) const;
    bool writeNumber(std::string_view key, double value);  // "2", "43", "0.01"
    bool writeNumber(std::string_view key, float value);   // shortest text that reads back the float
    bool writeNumber(std::string_view key, int value);
    // A present key with empty or non-numeric text reads as 0.
    double readNumber(std::string_view key, double defaultValue = 0) const;
    bool writeBool(std::string_view key, bool value);  // "真" / "假"
    bool readBool(std::string_view key, bool defaultValue = false) const;
    bool writeBytes(std::string_view key, std::string_view bytes);  // inibin/<section>-<key>.ibn
    std::string readBytes(std::string_view key, std::string_view defaultValue = {}) const;

    // Whether the current section holds the key.
    bool hasKey(std::string_view key) const { return rawValue(key).has_value(); }

    // Removes the first section of that name: its header and its lines up to the next line that
    // begins with "[" (or the end). False when there was no such section (nothing changed) or the
    // change could not be flushed (lastError() tells which).
    bool deleteSection(std::string_view name);
    // Removes the key from the current section; true when it is gone (or was never there).
    bool deleteKey(std::string_view key);

    // Room for the text to grow by about `extra` bytes: a save of many sites then builds the text
    // without copying it again and again as it grows (each copy briefly holds it twice).
    void reserve(std::size_t extra);
    std::size_t byteSize() const;

    // Changes between beginBatch and the matching endBatch are flushed once, at the end.
    void beginBatch();
    bool endBatch();
    bool flush();  // writes pending changes now

    // The file as it is (or will be, after a flush) on disk: GBK bytes, and as UTF-8 text.
    std::string bytes() const;
    std::string text() const;
    const std::string& lastError() const { return m_lastError; }
    // One line for the operator about how the file was read (a UTF-8 file); empty when there is
    // nothing to say.
    const std::string& notice() const { return m_notice; }

    // The names of the file's sections, in file order.
    std::vector<std::string> sectionNames() const;

    // The path of a byte value of the current section.
    std::filesystem::path byteValuePath(std::string_view key) const;

   private:
    bool fail(std::string message) const;
    bool changed();
    bool writeValue(std::string_view key, const std::string& valueGbk);
    std::optional<std::string_view> rawValue(std::string_view key) const;
    const std::string& gbkOf(std::string_view utf8) const;
    // Whether the byte value's file may be on disk: the inibin folder is listed once, at the first
    // use, so that a list of sites without category trees costs no look-up per site.
    bool byteFileMayExist(const std::filesystem::path& path) const;

    std::filesystem::path m_path;
    Mode m_mode = Mode::ReadWrite;
    bool m_open = false;
    std::string m_section;
    std::string m_sectionGbk;
    std::unique_ptr<IniText> m_text;
    std::unique_ptr<FileLock> m_lock;
    int m_batchDepth = 0;
    bool m_dirty = false;
    std::map<std::filesystem::path, std::string> m_pendingBytes;         // byte values not yet on disk
    mutable std::optional<std::set<std::filesystem::path>> m_byteFiles;  // on disk, once listed
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    mutable std::unordered_map<std::string, std::string, StringHash, std::equal_to<>> m_gbkCache;  // keys
    struct RecentKey {
        std::string_view utf8;
        const std::string* gbk = nullptr;
    };
    mutable std::array<RecentKey, 128> m_recentKeys{};
    mutable std::string m_lastError;
    std::string m_notice;
    // Stored text values that are not valid GBK, by the text they read as: written back byte for
    // byte wherever that text is written.
    mutable std::map<std::string, std::string, std::less<>> m_rawOfText;
};

}  // namespace oz::config
