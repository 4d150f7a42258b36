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
// (neither empty, nor a "[" line, nor holding "="): such a stray LF stays inside its value. The
// text is always written with CR LF.
// Byte tests for "[", "]" and "=" follow the character rule (a byte of 0x80 or above starts a
// two-byte character), so trail bytes of double-byte characters never count as markers.
//
// The text is held as blocks of lines (a block starts at every line beginning with "["), indexed
// by header name and by key, so lookups and edits cost no more than the block they touch.
class IniText {
   public:
    IniText();
    explicit IniText(std::string_view bytes);

    std::string bytes() const;
    std::size_t byteSize() const;

    bool hasSection(std::string_view section) const;
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

   private:
    using Lines = std::list<std::string>;
    struct StringHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
    };
    struct Block {
        std::uint64_t order = 0;
        Lines lines;  // lines without their CR LF; the first may be a header
        std::unordered_map<std::string, Lines::iterator, StringHash, std::equal_to<>>
            keys;                        // first line per key
        std::vector<std::string> names;  // the section names the first line is a header of
    };
    using BlockIt = std::list<Block>::iterator;
    using ConstBlockIt = std::list<Block>::const_iterator;

    void parse(std::string_view bytes);
    void indexBlock(BlockIt block);
    void registerNames(BlockIt block);
    void unregisterNames(BlockIt block);
    bool isCompleteHeader(ConstBlockIt block) const;
    std::optional<BlockIt> header(std::string_view section) const;
    std::optional<Lines::iterator> findKey(BlockIt header, std::string_view key) const;
    void appendSection(std::string_view section);

    std::list<Block> m_blocks;
    std::unordered_map<std::string, std::vector<BlockIt>, StringHash, std::equal_to<>> m_headers;
    std::uint64_t m_nextOrder = 0;
};

}  // namespace oz::config
