#include "content/text_lines.h"

#include <climits>

#include "text/charset.h"
#include "text/markers.h"

namespace oz::content {

std::vector<std::string> splitListLines(std::string_view text) {
    std::vector<std::string> entries;
    for (std::string_view line : text::splitLines(text)) {
        if (!line.empty()) entries.emplace_back(line);
    }
    return entries;
}

int lenientInt(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > INT_MAX) return negative ? INT_MIN : INT_MAX;
    }
    return static_cast<int>(negative ? -value : value);
}

std::string displayText(std::string_view bytes) {
    if (text::isValidUtf8(bytes)) return std::string(bytes);
    if (std::optional<std::string> gbk = text::decode(bytes, text::Charset::Gbk)) return *gbk;
    return text::decodeLossy(bytes, text::Charset::Utf8);
}

}  // namespace oz::content
