#pragma once

#include <cstdint>
#include <list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace oz::config {

// The settings text in memory, as GBK bytes, with the edits of the settings file:
// - a header "[name]" counts only at the start of the text or right after CR LF; the first such
//   line beginning with "[name]" is the section's header;
// - an entry of the section is the first line after the header that begins with key + "=", unless a
//   complete header (a line "[...]" followed by CR LF) lies between them;
// - a new section is appended as CR LF + "[name]", a new key is inserted right after the header text,
//   a value is replaced in place; deleting a section removes its header line and the lines up to the
//   next line that begins with "[".
// Lines end at CR LF, and at a bare LF unless the text after it could not be a line of its own
// (neither empty, nor a "[" line, nor holding "="): such a stray LF stays inside its value. A line
// that is a whole header "[name]" always ends at its LF. The text is always written with CR LF.
// Byte tests for "[", "]" and "=" follow the character rule (a byte of 0x80 or above starts a
// two-byte character), so trail bytes of double-byte characters never count as markers.
//
// The text is held as blocks of lines (a block starts at every line beginning with "["), indexed by
// header name. The blocks' bytes lie in one string: in file order, joined by CR LF, as long as
// edits allow; a block that has to grow elsewhere moves to the end, and the string is put back in
// order when more than half of it is left over, or when the whole text is needed. So a file of
// 100,000 sections costs little more memory than its size, and lookups and edits within one
// section (as a site is read or written) cost a look-up in a hash table of that section's keys.
class IniText {
   public:
    IniText();
    explicit IniText(std::string_view bytes);
    // Takes the bytes without a copy where every line ends in CR LF.
    explicit IniText(std::string&& bytes);

    std::string bytes() const;
    std::size_t byteSize() const;
    // Room for the text to grow by `extra` bytes without being copied again on the way.
    void reserve(std::size_t extra);
    // The whole text lent as one string, without a copy where the blocks lie in order: give it back
    // with restoreBytes before anything else is called.
    std::string takeBytes();
    void restoreBytes(std::string&& bytes);

    bool hasSection(std::string_view section) const;
    // A view into the text, valid until the next edit.
    std::optional<std::string_view> value(std::string_view section, std::string_view key) const;

    // Keys that would break the line structure: a line break inside, a "[" in front, or a last
    // byte of 0x80 or above (it would take the "=" after it as the second byte of its character).
    static bool isPlainKey(std::string_view key);
    // Whether a bare LF followed by `after` ends a line.
    static bool lineFeedEndsLine(std::string_view after);
    // Whether a value would not read back as one value: a CR LF or a line-ending bare LF inside.
    static bool breaksLine(std::string_view value);

    // Every section header's names, in file order (duplicates included).
    std::vector<std::string> sectionNames() const;

    // Stores the value, creating the section and the key as needed. False when the section could
    // not be established (a name with a line break, or not found after eleven appends; headers
    // appended on the way stay), or when the key is not plain or the value breaks its line.
    bool setValue(std::string_view section, std::string_view key, std::string_view value);

    // False when the section does not exist.
    bool removeSection(std::string_view section);
    // Removes every line of the key from the section (an entry on the header's own line goes, the
    // header stays); false when it had none.
    bool removeKey(std::string_view section, std::string_view key);

   private:
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    struct Block {
        std::uint64_t order = 0;
        std::size_t start = 0;           // in m_bytes
        std::size_t size = 0;            // its lines joined by CR LF, without one at the end
        std::vector<std::string> names;  // the section names the first line is a header of
    };
    using BlockIt = std::list<Block>::iterator;
    struct Line {
        BlockIt block;
        std::size_t offset = 0;  // in the block
        std::size_t size = 0;
    };
    // An entry line of the section last looked up: where it is and the length of its key.
    struct Entry {
        BlockIt block;
        std::size_t offset = 0;
        std::size_t keySize = 0;
    };
    struct SectionCache {
        bool valid = false;  // section and header are known
        std::string section;
        std::optional<BlockIt> header;
        bool entriesValid = false;
        std::vector<Entry> entries;        // the section's entry lines, last line first
        std::vector<std::uint32_t> slots;  // open addressing by key: 1 + index into entries; 0 free
    };

    void parse(std::string&& bytes);
    void resetEmpty();
    std::string_view textOf(const Block& block) const;
    std::string_view firstLine(const Block& block) const;
    void registerNames(BlockIt block);
    void unregisterNames(BlockIt block);
    bool isCompleteHeader(BlockIt block) const;
    std::optional<BlockIt> header(std::string_view section) const;
    template <typename Visit>
    void forEachLine(BlockIt header, Visit visit) const;
    void indexEntries(BlockIt header) const;
    void placeEntry(std::uint32_t index) const;  // in the slots; it goes before an earlier same key
    std::optional<std::uint32_t> findEntry(std::string_view key) const;
    std::string_view keyOf(const Entry& entry) const;
    std::optional<Line> findKey(std::string_view section, std::string_view key) const;
    void replaceInBlock(BlockIt block, std::size_t offset, std::size_t size, std::string_view text);
    void compact();
    void appendSection(std::string_view section);
    void forgetSection() const;
    std::optional<std::string_view> pendingValue(std::string_view section, std::string_view key) const;
    void addPending(BlockIt block, std::string_view key, std::string_view value);
    std::string pendingText() const;
    void putPending();

    std::string m_bytes;
    bool m_inOrder = true;       // m_bytes is the text: the blocks in order, joined by CR LF
    std::size_t m_leftOver = 0;  // bytes of m_bytes no block uses
    std::list<Block> m_blocks;
    std::unordered_map<std::string, std::vector<BlockIt>, StringHash, std::equal_to<>> m_headers;
    std::uint64_t m_nextOrder = 0;
    mutable SectionCache m_cache;
    // New entries of one section that are not in the text yet. A save writes a site's keys one by
    // one, each new one becoming the first line of its section: gathered here, they go into the
    // text at once, instead of each moving the section's other lines.
    struct PendingLine {
        std::size_t start = 0;  // of the key, in `lines`
        std::size_t keySize = 0;
        std::size_t size = 0;  // of the line, without its CR LF
    };
    struct Pending {
        std::optional<BlockIt> block;  // the section's header block
        std::string lines;             // CR LF + key + "=" + value each, in the order they came
        std::vector<PendingLine> entries;
        std::vector<std::uint32_t> slots;  // as SectionCache::slots
    };
    Pending m_pending;
};

}  // namespace oz::config
