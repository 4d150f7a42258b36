#include "backend/url_encoding.h"

#include <array>
#include <cstdint>
#include <string>

#include "text/characters.h"
#include "text/charset.h"

namespace oz::backend {
namespace {

using KeptBytes = std::array<bool, 256>;

constexpr KeptBytes keptBytes(std::string_view punctuation) {
    KeptBytes kept{};
    for (int c = '0'; c <= '9'; ++c) kept[c] = true;
    for (int c = 'a'; c <= 'z'; ++c) kept[c] = true;
    for (int c = 'A'; c <= 'Z'; ++c) kept[c] = true;
    for (char c : punctuation) kept[static_cast<unsigned char>(c)] = true;
    return kept;
}

constexpr KeptBytes kFormBytes = keptBytes("._-");
constexpr KeptBytes kBodyBytes = keptBytes("._-&=");
constexpr KeptBytes kMapFormBytes = keptBytes("!()-.*_");

// Request bodies run to tens of kilobytes per article, so the bytes go through a table straight
// into the end of `out`, grown once for the worst case.
void appendEncoded(std::string& out, std::string_view bytes, const KeptBytes& kept) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::size_t start = out.size();
    out.resize(start + bytes.size() * 3);
    char* to = out.data() + start;
    for (char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (kept[c]) {
            *to++ = ch;
        } else {
            to[0] = '%';
            to[1] = kHex[c >> 4];
            to[2] = kHex[c & 0xF];
            to += 3;
        }
    }
    out.resize(static_cast<std::size_t>(to - out.data()));
}

// A GBK site's text as a browser sends it from a GBK page: the GBK bytes, and each character GBK
// lacks as the reference "&#N;" with its "&" escaped, so it never splits a body.
void appendGbkEncoded(std::string& out, std::string_view text, const KeptBytes& kept) {
    std::string bytes;
    std::size_t pos = 0;
    while (true) {
        bytes.clear();
        pos += text::encodePrefix(text.substr(pos), text::Charset::SiteGbk, bytes);
        appendEncoded(out, bytes, kept);
        if (pos >= text.size()) return;
        std::size_t length = 0;
        const char32_t missing = text::codePointAt(text, pos, &length);
        pos += length == 0 ? 1 : length;
        out += "%26%23";
        out += std::to_string(static_cast<std::uint32_t>(missing));
        out += "%3B";
    }
}

}  // namespace

std::string urlEncode(std::string_view text, bool utf8Site, bool keepSeparators) {
    std::string out;
    appendUrlEncoded(out, text, utf8Site, keepSeparators);
    return out;
}

void appendUrlEncoded(std::string& out, std::string_view text, bool utf8Site, bool keepSeparators) {
    const KeptBytes& kept = keepSeparators ? kBodyBytes : kFormBytes;
    if (utf8Site) {
        appendEncoded(out, text, kept);
    } else {
        appendGbkEncoded(out, text, kept);
    }
}

void appendBytesUrlEncoded(std::string& out, std::string_view bytes) {
    appendEncoded(out, bytes, kFormBytes);
}

std::string gbkFormEncode(std::string_view text) {
    std::string out;
    appendGbkEncoded(out, text, kMapFormBytes);
    return out;
}

}  // namespace oz::backend
