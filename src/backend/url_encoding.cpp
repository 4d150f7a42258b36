#include "backend/url_encoding.h"

#include "text/charset.h"

namespace oz::backend {
namespace {

bool isAsciiAlnum(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

template <typename Keep>
std::string percentEncode(std::string_view bytes, Keep keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (keep(c)) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        }
    }
    return out;
}

}  // namespace

std::string urlEncode(std::string_view text, bool utf8Site, bool keepSeparators) {
    std::string gbk;
    std::string_view bytes = text;
    if (!utf8Site) {
        gbk = text::utf8ToGbk(text);
        bytes = gbk;
    }
    return percentEncode(bytes, [keepSeparators](unsigned char c) {
        return isAsciiAlnum(c) || c == '.' || c == '_' || c == '-' ||
               (keepSeparators && (c == '&' || c == '='));
    });
}

std::string gbkFormEncode(std::string_view text) {
    return percentEncode(text::utf8ToGbk(text), [](unsigned char c) {
        return isAsciiAlnum(c) || c == '!' || c == '(' || c == ')' || c == '-' || c == '.' || c == '*' ||
               c == '_';
    });
}

}  // namespace oz::backend
