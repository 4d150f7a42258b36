#include "config/ini_text.h"

#include <algorithm>

namespace oz::config {

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr int kMaxSectionAppends = 11;

// Length of the character starting at `i`: a byte of 0x80 or above starts a two-byte character.
std::size_t charLength(std::string_view text, std::size_t i) {
    return static_cast<unsigned char>(text[i]) >= 0x80 && i + 1 < text.size() ? 2 : 1;
}

// Position of the first "=" that is a character of its own, or npos.
std::size_t firstEquals(std::string_view line) {
    for (std::size_t i = 0; i < line.size(); i += charLength(line, i)) {
        if (line[i] == '=') return i;
    }
    return std::string_view::npos;
}

// The names a line beginning with "[" is a header of: the text up to each "]" character.
std::vector<std::string> headerNames(std::string_view line) {
    std::vector<std::string> names;
    if (line.empty() || line[0] != '[') return names;
    for (std::size_t i = 1; i < line.size(); i += charLength(line, i)) {
        if (line[i] == ']') names.emplace_back(line.substr(1, i - 1));
    }
    return names;
}

// "[" + text + "]" as a whole line, the "]" being a character of its own.
bool isBracketedLine(std::string_view line) {
    if (line.size() < 2 || line[0] != '[') return false;
    std::size_t last = 0;
    for (std::size_t i = 0; i < line.size(); i += charLength(line, i)) last = i;
    return last > 0 && line[last] == ']' && last == line.size() - 1;
}

// The text after a bare LF up to the next line end, without the CR of a CR LF.
std::string_view nextSegment(std::string_view after) {
    std::string_view segment = after.substr(0, after.find('\n'));
    if (segment.size() < after.size() && !segment.empty() && segment.back() == '\r') segment.remove_suffix(1);
    return segment;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

bool IniText::lineFeedEndsLine(std::string_view after) {
    std::string_view segment = nextSegment(after);
    return segment.empty() || segment[0] == '[' || firstEquals(segment) != std::string_view::npos;
}

bool IniText::breaksLine(std::string_view value) {
    if (value.find(kLineBreak) != std::string_view::npos) return true;
    for (std::size_t lf = value.find('\n'); lf != std::string_view::npos; lf = value.find('\n', lf + 1)) {
        if ((lf == 0 || value[lf - 1] != '\r') && lineFeedEndsLine(value.substr(lf + 1))) return true;
    }
    return false;
}

std::vector<std::string> IniText::sectionNames() const {
    std::vector<std::string> names;
    for (const Block& block : m_blocks) names.insert(names.end(), block.names.begin(), block.names.end());
    return names;
}

bool IniText::isPlainKey(std::string_view key) {
    if (key.find_first_of("\r\n") != std::string_view::npos || (!key.empty() && key[0] == '[')) return false;
    // A lead byte at the end would take the "=" after it as its trail byte: the entry could not be
    // found again.
    for (std::size_t i = 0; i < key.size(); i += charLength(key, i)) {
        if (static_cast<unsigned char>(key[i]) >= 0x80 && i + 1 == key.size()) return false;
    }
    return true;
}

IniText::IniText() { parse({}); }

IniText::IniText(std::string_view bytes) { parse(bytes); }

void IniText::parse(std::string_view bytes) {
    m_blocks.clear();
    m_headers.clear();
    std::size_t start = 0;
    std::size_t from = 0;
    while (true) {
        // A line ends at CR LF, or at a bare LF that a hand-edited or copied file put there.
        std::size_t end = bytes.find('\n', from);
        std::size_t next = end;
        if (end != std::string_view::npos) {
            if (end > start && bytes[end - 1] == '\r') {
                --end;
            } else if (!lineFeedEndsLine(bytes.substr(end + 1))) {
                from = end + 1;  // a stray LF inside a value, as the Windows program may have written it
                continue;
            }
        }
        std::string_view line = bytes.substr(start, end == std::string_view::npos ? end : end - start);
        if (m_blocks.empty() || (!line.empty() && line[0] == '[')) {
            m_blocks.emplace_back().order = m_nextOrder++;
        }
        m_blocks.back().lines.emplace_back(line);
        if (next == std::string_view::npos) break;
        start = from = next + 1;
    }
    for (auto block = m_blocks.begin(); block != m_blocks.end(); ++block) indexBlock(block);
}

void IniText::indexBlock(BlockIt block) {
    block->keys.clear();
    for (auto line = std::next(block->lines.begin()); line != block->lines.end(); ++line) {
        std::size_t eq = firstEquals(*line);
        if (eq == std::string::npos) continue;
        block->keys.try_emplace(line->substr(0, eq), line);
    }
    registerNames(block);
}

void IniText::registerNames(BlockIt block) {
    block->names = headerNames(block->lines.front());
    for (const std::string& name : block->names) {
        auto& blocks = m_headers[name];
        auto at = std::lower_bound(blocks.begin(), blocks.end(), block->order,
                                   [](BlockIt b, std::uint64_t order) { return b->order < order; });
        if (at == blocks.end() || *at != block) blocks.insert(at, block);
    }
}

void IniText::unregisterNames(BlockIt block) {
    for (const std::string& name : block->names) {
        auto found = m_headers.find(name);
        if (found == m_headers.end()) continue;
        std::erase(found->second, block);
        if (found->second.empty()) m_headers.erase(found);
    }
    block->names.clear();
}

std::string IniText::bytes() const {
    std::string out;
    out.reserve(byteSize());
    bool first = true;
    for (const Block& block : m_blocks) {
        for (const std::string& line : block.lines) {
            if (!first) out += kLineBreak;
            out += line;
            first = false;
        }
    }
    return out;
}

std::size_t IniText::byteSize() const {
    std::size_t size = 0;
    std::size_t lines = 0;
    for (const Block& block : m_blocks) {
        for (const std::string& line : block.lines) size += line.size();
        lines += block.lines.size();
    }
    return size + (lines > 0 ? (lines - 1) * kLineBreak.size() : 0);
}

bool IniText::isCompleteHeader(ConstBlockIt block) const {
    if (!isBracketedLine(block->lines.front())) return false;
    // On the last line of the text, without CR LF after it, it is not complete.
    return block->lines.size() > 1 || std::next(block) != m_blocks.end();
}

std::optional<IniText::BlockIt> IniText::header(std::string_view section) const {
    auto found = m_headers.find(section);
    if (found == m_headers.end() || found->second.empty()) return std::nullopt;
    return found->second.front();
}

std::optional<IniText::Lines::iterator> IniText::findKey(BlockIt header, std::string_view key) const {
    const bool plainKey = key.find('=') == std::string_view::npos;
    for (BlockIt block = header; block != m_blocks.end(); ++block) {
        if (block != header && isCompleteHeader(block)) break;
        if (plainKey) {
            auto found = block->keys.find(key);
            if (found != block->keys.end()) return found->second;
            continue;
        }
        // A key with "=" in it is matched against whole lines.
        for (auto line = std::next(block->lines.begin()); line != block->lines.end(); ++line) {
            if (startsWith(*line, key) && line->size() > key.size() && (*line)[key.size()] == '=')
                return line;
        }
    }
    return std::nullopt;
}

bool IniText::hasSection(std::string_view section) const { return header(section).has_value(); }

std::optional<std::string_view> IniText::value(std::string_view section, std::string_view key) const {
    auto block = header(section);
    if (!block) return std::nullopt;
    auto line = findKey(*block, key);
    if (!line) return std::nullopt;
    return std::string_view(**line).substr(key.size() + 1);
}

void IniText::appendSection(std::string_view section) {
    std::string headerLine;
    headerLine.reserve(section.size() + 2);
    headerLine.append("[").append(section).append("]");
    if (m_blocks.size() == 1 && m_blocks.front().lines.size() == 1 &&
        m_blocks.front().lines.front().empty()) {
        // An empty text gets the header without a CR LF before it.
        m_blocks.front().lines.front() = std::move(headerLine);
        indexBlock(m_blocks.begin());
        return;
    }
    Block& block = m_blocks.emplace_back();
    block.order = m_nextOrder++;
    block.lines.push_back(std::move(headerLine));
    registerNames(std::prev(m_blocks.end()));
}

bool IniText::setValue(std::string_view section, std::string_view key, std::string_view value) {
    if (section.find_first_of("\r\n") != std::string_view::npos || !isPlainKey(key) || breaksLine(value)) {
        return false;
    }
    int appends = 0;
    std::optional<BlockIt> block;
    while (!(block = header(section))) {
        if (appends == kMaxSectionAppends) return false;
        appendSection(section);
        ++appends;
    }
    std::optional<Lines::iterator> line = findKey(*block, key);
    if (!line) {
        // The new entry goes right after the header text; whatever followed it on the header's line
        // becomes the entry's old value and is replaced below.
        std::string& headerLine = (*block)->lines.front();
        const std::size_t headerText = section.size() + 2;
        std::string rest = headerLine.substr(headerText);
        if (!rest.empty()) {
            unregisterNames(*block);
            headerLine.resize(headerText);
            registerNames(*block);
        }
        Lines& lines = (*block)->lines;
        auto inserted = lines.insert(std::next(lines.begin()), std::string(key) + "=" + rest);
        std::size_t eq = firstEquals(*inserted);
        (*block)->keys[inserted->substr(0, eq)] = inserted;
        line = inserted;
    }
    std::string& text = **line;
    text.resize(key.size() + 1);
    text += value;
    return true;
}

bool IniText::removeSection(std::string_view section) {
    auto block = header(section);
    if (!block) return false;
    unregisterNames(*block);
    m_blocks.erase(*block);
    if (m_blocks.empty()) parse({});
    return true;
}

}  // namespace oz::config
