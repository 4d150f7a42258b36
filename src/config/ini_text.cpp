#include "config/ini_text.h"

#include <algorithm>

#include "config/huge_pages.h"
#include "config/ini_key_slots.h"

namespace oz::config {

using namespace ini_slots;

namespace {

constexpr std::string_view kLineBreak = "\r\n";
constexpr int kMaxSectionAppends = 11;
// Left-over bytes are only put back in order beyond this much (and beyond half the text).
constexpr std::size_t kMinLeftOver = 1 << 20;

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

// (find_first_of looks each byte up in the set: slow for the millions of keys of a large save.)
bool hasLineBreak(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; });
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
    if (hasLineBreak(key) || (!key.empty() && key[0] == '[')) return false;
    // A lead byte at the end would take the "=" after it as its trail byte: the entry could not be
    // found again.
    for (std::size_t i = 0; i < key.size(); i += charLength(key, i)) {
        if (static_cast<unsigned char>(key[i]) >= 0x80 && i + 1 == key.size()) return false;
    }
    return true;
}

IniText::IniText() { resetEmpty(); }

IniText::IniText(std::string_view bytes) { parse(std::string(bytes)); }

IniText::IniText(std::string&& bytes) { parse(std::move(bytes)); }

void IniText::resetEmpty() { parse(std::string()); }

void IniText::parse(std::string&& bytes) {
    m_blocks.clear();
    m_headers.clear();
    forgetSection();
    m_pending.block.reset();
    m_pending.lines.clear();
    m_pending.entries.clear();
    m_leftOver = 0;
    m_inOrder = true;
    // Blocks in the coordinates of `bytes` first; the bare LFs that end a line get their CR after.
    std::vector<std::size_t> bareEnds;
    std::size_t start = 0;
    std::size_t from = 0;
    while (true) {
        // A line ends at CR LF, or at a bare LF that a hand-edited or copied file put there.
        std::size_t end = bytes.find('\n', from);
        const std::size_t next = end;
        if (end != std::string::npos) {
            if (end > start && bytes[end - 1] == '\r') {
                --end;
            } else if (!isBracketedLine(std::string_view(bytes).substr(start, end - start)) &&
                       !lineFeedEndsLine(std::string_view(bytes).substr(end + 1))) {
                // A stray LF inside a value, as the Windows program may have written it. A header
                // holds none: after "[name]" the LF ends the line, so the header ends the section
                // above it as its CR LF form does.
                from = end + 1;
                continue;
            } else {
                bareEnds.push_back(end);
            }
        } else {
            end = bytes.size();
        }
        if (m_blocks.empty() || (end > start && bytes[start] == '[')) {
            Block& block = m_blocks.emplace_back();
            block.order = m_nextOrder++;
            block.start = start;
        }
        m_blocks.back().size = end - m_blocks.back().start;
        if (next == std::string::npos) break;
        start = from = next + 1;
    }
    if (bareEnds.empty()) {
        m_bytes = std::move(bytes);
    } else {
        m_bytes.clear();
        m_bytes.reserve(bytes.size() + bareEnds.size());
        adviseHugePages(m_bytes.data(), m_bytes.capacity());
        std::size_t copied = 0;
        for (std::size_t lf : bareEnds) {
            m_bytes.append(bytes, copied, lf - copied).push_back('\r');
            copied = lf;
        }
        m_bytes.append(bytes, copied);
        // Every position moves by the CRs put in before it.
        auto shifted = [&](std::size_t position) {
            return position +
                   static_cast<std::size_t>(std::lower_bound(bareEnds.begin(), bareEnds.end(), position) -
                                            bareEnds.begin());
        };
        for (Block& block : m_blocks) {
            const std::size_t end = shifted(block.start + block.size);
            block.start = shifted(block.start);
            block.size = end - block.start;
        }
    }
    m_headers.reserve(m_blocks.size());
    for (auto block = m_blocks.begin(); block != m_blocks.end(); ++block) registerNames(block);
}

std::string_view IniText::textOf(const Block& block) const {
    return std::string_view(m_bytes).substr(block.start, block.size);
}

std::string_view IniText::firstLine(const Block& block) const {
    const std::string_view text = textOf(block);
    return text.substr(0, text.find(kLineBreak));
}

void IniText::registerNames(BlockIt block) {
    forgetSection();
    block->names = headerNames(firstLine(*block));
    for (const std::string& name : block->names) {
        auto& blocks = m_headers[name];
        auto at = std::lower_bound(blocks.begin(), blocks.end(), block->order,
                                   [](BlockIt b, std::uint64_t order) { return b->order < order; });
        if (at == blocks.end() || *at != block) blocks.insert(at, block);
    }
}

void IniText::unregisterNames(BlockIt block) {
    forgetSection();
    for (const std::string& name : block->names) {
        auto found = m_headers.find(name);
        if (found == m_headers.end()) continue;
        std::erase(found->second, block);
        if (found->second.empty()) m_headers.erase(found);
    }
    block->names.clear();
}

void IniText::forgetSection() const {
    m_cache.valid = false;
    m_cache.entriesValid = false;
    m_cache.entries.clear();
}

std::string IniText::bytes() const {
    if (m_inOrder && !m_pending.block) return m_bytes;
    std::string out;
    out.reserve(byteSize());
    for (auto block = m_blocks.begin(); block != m_blocks.end(); ++block) {
        if (block != m_blocks.begin()) out += kLineBreak;
        std::string_view text = textOf(*block);
        if (m_pending.block && *m_pending.block == block) {
            const std::string_view first = firstLine(*block);
            out.append(first).append(pendingText());
            text.remove_prefix(first.size());
        }
        out += text;
    }
    return out;
}

std::size_t IniText::byteSize() const {
    std::size_t size = m_pending.lines.size();
    if (m_inOrder) return size + m_bytes.size();
    for (const Block& block : m_blocks) size += block.size;
    return size + (m_blocks.size() - 1) * kLineBreak.size();
}

std::optional<std::string_view> IniText::pendingValue(std::string_view section, std::string_view key) const {
    if (!m_pending.block) return std::nullopt;
    const std::optional<BlockIt> block = header(section);
    if (!block || *block != *m_pending.block) return std::nullopt;
    const std::string_view lines = m_pending.lines;
    auto valueOf = [&](const PendingLine& line) {
        return lines.substr(line.start + key.size() + 1, line.size - key.size() - 1);
    };
    if (key.find('=') == std::string_view::npos) {
        auto found = findSlot(m_pending.slots, key, [&](std::uint32_t i) {
            return lines.substr(m_pending.entries[i].start, m_pending.entries[i].keySize);
        });
        if (!found) return std::nullopt;
        return valueOf(m_pending.entries[*found]);
    }
    // Matched against whole lines, the latest first as in the text.
    for (auto line = m_pending.entries.rbegin(); line != m_pending.entries.rend(); ++line) {
        const std::string_view text = lines.substr(line->start, line->size);
        if (startsWith(text, key) && text.size() > key.size() && text[key.size()] == '=')
            return valueOf(*line);
    }
    return std::nullopt;
}

void IniText::addPending(BlockIt block, std::string_view key, std::string_view value) {
    if (!m_pending.block) {
        m_pending.block = block;
        m_pending.lines.clear();
        m_pending.entries.clear();
        sizeSlots(m_pending.slots, 0);
    }
    m_pending.lines.append(kLineBreak);
    const std::size_t start = m_pending.lines.size();
    m_pending.lines.append(key).append("=").append(value);
    m_pending.entries.push_back({start, key.size(), m_pending.lines.size() - start});
    auto keyOf = [this](std::uint32_t i) {
        return std::string_view(m_pending.lines)
            .substr(m_pending.entries[i].start, m_pending.entries[i].keySize);
    };
    if (slotsFull(m_pending.slots, m_pending.entries.size() - 1)) {
        sizeSlots(m_pending.slots, m_pending.entries.size());
        for (std::uint32_t i = 0; i < m_pending.entries.size(); ++i) placeSlot(m_pending.slots, i, keyOf);
    } else {
        placeSlot(m_pending.slots, static_cast<std::uint32_t>(m_pending.entries.size() - 1), keyOf);
    }
}

std::string IniText::pendingText() const {
    std::string text;
    text.reserve(m_pending.lines.size());
    for (auto line = m_pending.entries.rbegin(); line != m_pending.entries.rend(); ++line) {
        text.append(m_pending.lines, line->start - kLineBreak.size(), line->size + kLineBreak.size());
    }
    return text;
}

void IniText::putPending() {
    if (!m_pending.block) return;
    const BlockIt block = *m_pending.block;
    const std::string text = pendingText();
    m_pending.block.reset();
    m_pending.lines.clear();
    m_pending.entries.clear();
    replaceInBlock(block, firstLine(*block).size(), 0, text);
    m_cache.entriesValid = false;  // its lines moved
}

void IniText::compact() {
    std::string out;
    out.reserve(byteSize());
    adviseHugePages(out.data(), out.capacity());
    for (Block& block : m_blocks) {
        if (&block != &m_blocks.front()) out += kLineBreak;
        const std::string_view text = textOf(block);
        block.start = out.size();
        out += text;
    }
    m_bytes = std::move(out);
    m_leftOver = 0;
    m_inOrder = true;
}

void IniText::reserve(std::size_t extra) {
    m_bytes.reserve(m_bytes.size() + extra);
    adviseHugePages(m_bytes.data(), m_bytes.capacity());
}

std::string IniText::takeBytes() {
    putPending();
    if (!m_inOrder) compact();
    return std::move(m_bytes);
}

void IniText::restoreBytes(std::string&& bytes) { m_bytes = std::move(bytes); }

bool IniText::isCompleteHeader(BlockIt block) const {
    if (!isBracketedLine(firstLine(*block))) return false;
    // On the last line of the text, without CR LF after it, it is not complete.
    return textOf(*block).find(kLineBreak) != std::string_view::npos || std::next(block) != m_blocks.end();
}

std::optional<IniText::BlockIt> IniText::header(std::string_view section) const {
    if (m_cache.valid && m_cache.section == section) return m_cache.header;
    forgetSection();
    m_cache.section = section;
    m_cache.valid = true;
    auto found = m_headers.find(section);
    if (found != m_headers.end() && !found->second.empty())
        m_cache.header = found->second.front();
    else
        m_cache.header.reset();
    return m_cache.header;
}

std::string_view IniText::keyOf(const Entry& entry) const {
    return std::string_view(m_bytes).substr(entry.block->start + entry.offset, entry.keySize);
}

// Calls `visit(block, offset, line)` for every entry line of the section that begins at `header`:
// the lines after the first of each block, up to the next complete header.
template <typename Visit>
void IniText::forEachLine(BlockIt header, Visit visit) const {
    for (BlockIt block = header; block != m_blocks.end(); ++block) {
        if (block != header && isCompleteHeader(block)) break;
        const std::string_view text = textOf(*block);
        for (std::size_t lineBreak = text.find(kLineBreak); lineBreak != std::string_view::npos;) {
            const std::size_t offset = lineBreak + kLineBreak.size();
            lineBreak = text.find(kLineBreak, offset);
            const std::size_t end = lineBreak == std::string_view::npos ? text.size() : lineBreak;
            if (visit(block, offset, text.substr(offset, end - offset))) return;
        }
    }
}

void IniText::placeEntry(std::uint32_t index) const {
    placeSlot(m_cache.slots, index, [this](std::uint32_t i) { return keyOf(m_cache.entries[i]); });
}

void IniText::indexEntries(BlockIt header) const {
    if (m_cache.entriesValid) return;
    m_cache.entries.clear();
    forEachLine(header, [this](BlockIt block, std::size_t offset, std::string_view line) {
        if (const std::size_t eq = firstEquals(line); eq != std::string_view::npos) {
            m_cache.entries.push_back({block, offset, eq});
        }
        return false;
    });
    std::reverse(m_cache.entries.begin(), m_cache.entries.end());
    sizeSlots(m_cache.slots, m_cache.entries.size());
    // Last line first: of the lines with the same key the first in the file stays in its slot.
    for (std::uint32_t i = 0; i < m_cache.entries.size(); ++i) placeEntry(i);
    m_cache.entriesValid = true;
}

std::optional<std::uint32_t> IniText::findEntry(std::string_view key) const {
    return findSlot(m_cache.slots, key, [this](std::uint32_t i) { return keyOf(m_cache.entries[i]); });
}

std::optional<IniText::Line> IniText::findKey(std::string_view section, std::string_view key) const {
    const std::optional<BlockIt> first = header(section);
    if (!first) return std::nullopt;
    std::optional<Line> found;
    if (key.find('=') != std::string_view::npos) {
        // A key with "=" in it is matched against whole lines.
        forEachLine(*first, [&](BlockIt block, std::size_t offset, std::string_view line) {
            if (startsWith(line, key) && line.size() > key.size() && line[key.size()] == '=') {
                found = Line{block, offset, line.size()};
            }
            return found.has_value();
        });
        return found;
    }
    indexEntries(*first);
    const std::optional<std::uint32_t> index = findEntry(key);
    if (!index) return std::nullopt;
    const Entry& entry = m_cache.entries[*index];
    const std::string_view text = textOf(*entry.block);
    const std::size_t end = std::min(text.find(kLineBreak, entry.offset), text.size());
    return Line{entry.block, entry.offset, end - entry.offset};
}

bool IniText::hasSection(std::string_view section) const { return header(section).has_value(); }

std::optional<std::string_view> IniText::value(std::string_view section, std::string_view key) const {
    if (std::optional<std::string_view> pending = pendingValue(section, key)) return pending;
    const std::optional<Line> line = findKey(section, key);
    if (!line) return std::nullopt;
    return textOf(*line->block).substr(line->offset + key.size() + 1, line->size - key.size() - 1);
}

void IniText::replaceInBlock(BlockIt block, std::size_t offset, std::size_t size, std::string_view text) {
    std::string copy;
    if (text.data() >= m_bytes.data() && text.data() < m_bytes.data() + m_bytes.size()) {
        copy = text;  // a view into these bytes would move under the edit
        text = copy;
    }
    const std::size_t at = block->start + offset;
    if (text.size() == size || block->start + block->size == m_bytes.size()) {
        m_bytes.replace(at, size, text);
        block->size = block->size - size + text.size();
        return;
    }
    // It cannot grow or shrink where it is: it moves to the end.
    std::string moved(textOf(*block));
    moved.replace(offset, size, text);
    m_leftOver += block->size;
    m_inOrder = false;
    block->start = m_bytes.size();
    block->size = moved.size();
    m_bytes += moved;
    if (m_leftOver > kMinLeftOver && m_leftOver > m_bytes.size() / 2) compact();
}

void IniText::appendSection(std::string_view section) {
    std::string headerLine;
    headerLine.reserve(section.size() + 2);
    headerLine.append("[").append(section).append("]");
    if (m_blocks.size() == 1 && m_blocks.front().size == 0) {
        // An empty text gets the header without a CR LF before it.
        replaceInBlock(m_blocks.begin(), 0, 0, headerLine);
        registerNames(m_blocks.begin());
        return;
    }
    if (m_inOrder) m_bytes += kLineBreak;
    Block& block = m_blocks.emplace_back();
    block.order = m_nextOrder++;
    block.start = m_bytes.size();
    block.size = headerLine.size();
    m_bytes += headerLine;
    registerNames(std::prev(m_blocks.end()));
}

bool IniText::setValue(std::string_view section, std::string_view key, std::string_view value) {
    if (hasLineBreak(section) || !isPlainKey(key) || breaksLine(value)) {
        return false;
    }
    int appends = 0;
    std::optional<BlockIt> block;
    while (!(block = header(section))) {
        if (appends == kMaxSectionAppends) return false;
        putPending();
        appendSection(section);
        ++appends;
    }
    // A key holding "=" is matched against whole lines, which the pending ones must be among.
    const bool plainKey = key.find('=') == std::string_view::npos;
    if (m_pending.block && (*m_pending.block != *block || !plainKey)) putPending();
    if (m_pending.block) {
        auto same = findSlot(m_pending.slots, key, [this](std::uint32_t i) {
            return std::string_view(m_pending.lines)
                .substr(m_pending.entries[i].start, m_pending.entries[i].keySize);
        });
        if (same) {
            PendingLine& line = m_pending.entries[*same];
            const std::size_t oldSize = line.size - line.keySize - 1;
            m_pending.lines.replace(line.start + line.keySize + 1, oldSize, value);
            line.size = line.size - oldSize + value.size();
            for (std::size_t i = *same + 1; i < m_pending.entries.size(); ++i) {
                m_pending.entries[i].start = m_pending.entries[i].start + value.size() - oldSize;
            }
            return true;
        }
    }
    if (const std::optional<Line> line = findKey(section, key)) {
        const std::size_t valueStart = line->offset + key.size() + 1;
        const std::size_t oldSize = line->size - key.size() - 1;
        replaceInBlock(line->block, valueStart, oldSize, value);
        for (Entry& entry : m_cache.entries) {
            if (entry.block == line->block && entry.offset > line->offset) {
                entry.offset = entry.offset + value.size() - oldSize;
            }
        }
        return true;
    }
    // The new entry goes right after the header text; whatever followed it on the header's line
    // goes (it would have been the entry's old value).
    const std::size_t headerText = section.size() + 2;
    if (const std::size_t rest = firstLine(**block).size() - headerText; rest > 0) {
        unregisterNames(*block);
        replaceInBlock(*block, headerText, rest, {});
        registerNames(*block);
    }
    if (plainKey) {
        addPending(*block, key, value);
        return true;
    }
    std::string entryLine;
    entryLine.reserve(kLineBreak.size() + key.size() + 1 + value.size());
    entryLine.append(kLineBreak).append(key).append("=").append(value);
    replaceInBlock(*block, headerText, 0, entryLine);
    // A key holding "=" is rare (no key of the program's own has one): its section's lines are
    // indexed again when next needed, the new line read up to its first "=" as every line is.
    m_cache.entriesValid = false;
    return true;
}

bool IniText::removeSection(std::string_view section) {
    if (!header(section)) return false;
    putPending();
    const std::optional<BlockIt> block = header(section);
    unregisterNames(*block);
    if (m_inOrder && std::next(*block) == m_blocks.end()) {
        // The text ends with it: cut it off with the CR LF before it.
        m_bytes.resize((*block)->start >= kLineBreak.size() ? (*block)->start - kLineBreak.size() : 0);
    } else {
        m_leftOver += (*block)->size;
        m_inOrder = false;
    }
    m_blocks.erase(*block);
    if (m_blocks.empty()) resetEmpty();
    return true;
}

bool IniText::removeKey(std::string_view section, std::string_view key) {
    putPending();
    bool removed = false;
    for (std::optional<Line> line; (line = findKey(section, key)); removed = true) {
        const bool onHeader = line->offset < firstLine(*line->block).size();
        const std::size_t from = onHeader ? line->offset : line->offset - kLineBreak.size();
        if (onHeader) unregisterNames(line->block);
        replaceInBlock(line->block, from, line->offset + line->size - from, {});
        if (onHeader) registerNames(line->block);
        forgetSection();
    }
    return removed;
}

}  // namespace oz::config
