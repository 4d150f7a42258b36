#include "backend/url_encoding.h"

#include <array>

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
        appendEncoded(out, text::utf8ToGbk(text), kept);
    }
}

std::string gbkFormEncode(std::string_view text) {
    std::string out;
    appendEncoded(out, text::utf8ToGbk(text), kMapFormBytes);
    return out;
}

}  // namespace oz::backend
