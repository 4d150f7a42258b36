#include "text/characters.h"

#include <algorithm>
#include <charconv>

namespace oz::text {
namespace {

constexpr auto npos = std::string_view::npos;

bool isContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Length of the valid UTF-8 sequence at offset, or 0 when the bytes there do not form one.
std::size_t utf8SequenceLength(std::string_view text, std::size_t offset, char32_t* codePoint) {
    const auto at = [&](std::size_t i) { return static_cast<unsigned char>(text[offset + i]); };
    const unsigned char lead = at(0);
    std::size_t length;
    char32_t value;
    char32_t minimum;
    if (lead < 0x80) {
        *codePoint = lead;
        return 1;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, value = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, value = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, value = lead & 0x07, minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() - offset < length) return 0;
    for (std::size_t i = 1; i < length; ++i) {
        if (!isContinuation(at(i))) return 0;
        value = (value << 6) | (at(i) & 0x3F);
    }
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
    *codePoint = value;
    return length;
}

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + ('a' - 'A')) : c; }

bool hasAsciiLetter(std::string_view text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return lowerAscii(c) >= 'a' && lowerAscii(c) <= 'z'; });
}

// The 1-based position that `start` names, negative values counting from the end.
int resolveStart(std::string_view text, int start) {
    if (start >= 0) return std::max(start, 1);
    return std::max(countChars(text) + start + 1, 1);
}

std::string_view trimAsciiSpaces(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

}  // namespace

std::size_t charLength(std::string_view text, std::size_t offset) {
    if (offset >= text.size()) return 0;
    if (text[offset] == '\r' && offset + 1 < text.size() && text[offset + 1] == '\n') return 2;
    char32_t ignored;
    return std::max<std::size_t>(utf8SequenceLength(text, offset, &ignored), 1);
}

char32_t codePointAt(std::string_view text, std::size_t offset, std::size_t* length) {
    char32_t value = 0xFFFD;
    std::size_t read = 0;
    if (offset < text.size()) {
        read = utf8SequenceLength(text, offset, &value);
        if (read == 0) value = 0xFFFD, read = 1;
    }
    if (length) *length = read;
    return value;
}

void appendCodePoint(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string fromCodePoint(char32_t codePoint) {
    std::string out;
    appendCodePoint(out, codePoint);
    return out;
}

std::vector<std::size_t> charStarts(std::string_view text) {
    std::vector<std::size_t> starts;
    for (std::size_t at = 0; at < text.size(); at = nextChar(text, at)) starts.push_back(at);
    return starts;
}

std::size_t byteOffsetOfChar(std::string_view text, int position) {
    if (position < 1) return npos;
    std::size_t at = 0;
    for (int i = 1; i < position; ++i) {
        if (at >= text.size()) return npos;
        at = nextChar(text, at);
    }
    return at;
}

int charPositionOfByte(std::string_view text, std::size_t offset) {
    int position = 0;
    for (std::size_t at = 0; at < text.size() && at <= offset; at = nextChar(text, at)) ++position;
    return std::max(position, 1);
}

int countChars(std::string_view text) {
    int count = 0;
    for (std::size_t at = 0; at < text.size(); at = nextChar(text, at)) ++count;
    return count;
}

std::string midChars(std::string_view text, int start, int n) {
    if (n <= 0) return {};
    const std::size_t begin = byteOffsetOfChar(text, std::max(start, 1));
    if (begin == npos || begin >= text.size()) return {};
    std::size_t end = begin;
    for (int i = 0; i < n && end < text.size(); ++i) end = nextChar(text, end);
    return std::string(text.substr(begin, end - begin));
}

std::string leftChars(std::string_view text, int n) {
    if (n < 0) n = std::max(countChars(text) + n, 0);
    return midChars(text, 1, n);
}

std::string rightChars(std::string_view text, int n) {
    const int count = countChars(text);
    const int start = n >= 0 ? std::max(count - n + 1, 1) : 1 - n;
    return midChars(text, start, count);
}

int findForward(std::string_view text, std::string_view needle, int start) {
    if (needle.empty()) return kNotFound;
    const std::size_t from = byteOffsetOfChar(text, resolveStart(text, start));
    if (from == npos || from >= text.size()) return kNotFound;
    const std::size_t found = findNoCase(text, needle, from);
    return found == npos ? kNotFound : charPositionOfByte(text, found);
}

int findBackward(std::string_view text, std::string_view needle, int start) {
    if (needle.empty() || text.empty()) return kNotFound;
    const int count = countChars(text);
    const int position = start <= 0 ? count + start + 1 : std::min(start, count);
    if (position < 1) return kNotFound;
    const std::size_t found = rfindNoCase(text, needle, byteOffsetOfChar(text, position));
    return found == npos ? kNotFound : charPositionOfByte(text, found);
}

std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from) {
    if (from > text.size() || needle.size() > text.size() - from) return npos;
    if (needle.empty()) return from;
    if (!hasAsciiLetter(needle)) return text.find(needle, from);
    const char first = lowerAscii(needle.front());
    const char firstUpper = first >= 'a' && first <= 'z' ? static_cast<char>(first - ('a' - 'A')) : first;
    const std::string_view rest = needle.substr(1);
    const std::size_t last = text.size() - needle.size();
    for (std::size_t i = from; i <= last; ++i) {
        if (first == firstUpper) {
            i = text.find(first, i);  // memchr-fast when the first character has no case
            if (i == npos || i > last) return npos;
        } else if (text[i] != first && text[i] != firstUpper) {
            continue;
        }
        if (equalsNoCase(text.substr(i + 1, rest.size()), rest)) return i;
    }
    return npos;
}

std::size_t rfindNoCase(std::string_view text, std::string_view needle, std::size_t before) {
    if (needle.size() > text.size()) return npos;
    std::size_t i = std::min(before, text.size() - needle.size());
    if (!hasAsciiLetter(needle)) return text.rfind(needle, i);
    for (;; --i) {
        if (equalsNoCase(text.substr(i, needle.size()), needle)) return i;
        if (i == 0) return npos;
    }
}

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return lowerAscii(x) == lowerAscii(y); });
}

std::string toLowerAscii(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), lowerAscii);
    return out;
}

bool inRanges(std::string_view number, std::string_view ranges) {
    const auto parse = [](std::string_view digits, long long* value) {
        digits = trimAsciiSpaces(digits);
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), *value);
        return error == std::errc() && end == digits.data() + digits.size() && !digits.empty();
    };
    long long value = 0;
    const bool numeric = parse(number, &value);
    while (true) {
        const std::size_t semicolon = ranges.find(';');
        const std::string_view entry = ranges.substr(0, semicolon);
        const std::size_t comma = entry.find(',');
        if (comma == npos) {
            if (trimAsciiSpaces(entry) == trimAsciiSpaces(number) && !trimAsciiSpaces(entry).empty())
                return true;
        } else {
            long long low = 0, high = 0;
            if (numeric && parse(entry.substr(0, comma), &low) && parse(entry.substr(comma + 1), &high) &&
                low <= value && value <= high) {
                return true;
            }
        }
        if (semicolon == npos) return false;
        ranges.remove_prefix(semicolon + 1);
    }
}

std::string trimBlanks(std::string_view text) {
    constexpr std::string_view kFullWidthSpace = "\u3000";
    while (true) {
        if (text.starts_with(' ')) {
            text.remove_prefix(1);
        } else if (text.starts_with(kFullWidthSpace)) {
            text.remove_prefix(kFullWidthSpace.size());
        } else if (text.ends_with(' ')) {
            text.remove_suffix(1);
        } else if (text.ends_with(kFullWidthSpace)) {
            text.remove_suffix(kFullWidthSpace.size());
        } else {
            return std::string(text);
        }
    }
}

bool isControlCharacter(char32_t codePoint) {
    return codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
}

std::string withoutControlCharacters(std::string_view text) {
    // ASCII without controls is the common case. (C1 controls are the sequences C2 80 to C2 9F.)
    const bool clean = std::none_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte >= 0x7F;
    });
    if (clean) return std::string(text);
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0, length = 0; at < text.size(); at += length) {
        const char32_t codePoint = codePointAt(text, at, &length);
        if (!isControlCharacter(codePoint)) {
            appendCodePoint(out, codePoint);  // an invalid byte reads as U+FFFD
        } else if (codePoint == U'\t' || codePoint == U'\n' || codePoint == U'\v' || codePoint == U'\f' ||
                   codePoint == U'\r') {
            out += ' ';
            if (codePoint == U'\r' && at + 1 < text.size() && text[at + 1] == '\n') ++length;
        }
    }
    return out;
}

}  // namespace oz::text
