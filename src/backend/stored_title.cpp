#include "backend/stored_title.h"

#include <algorithm>

#include "backend/answer_reader.h"
#include "text/characters.h"

namespace oz::backend {
namespace {

constexpr int kKeywordChars = 10;

// The bytes a character takes in the site's charset. The title was sent in that charset, so every
// character of it is one the charset holds.
int charBytes(std::string_view character, bool gbk) {
    if (character.size() == 1) return 1;
    return gbk ? 2 : static_cast<int>(character.size());
}

// The back end's cut by bytes. GBK: the longest start of whole characters within maxBytes. UTF-8:
// a character is kept while the text so far is shorter than maxBytes plus that character.
std::string_view cutToBytes(std::string_view text, int maxBytes, bool gbk) {
    std::size_t end = 0;
    long long bytes = 0;
    while (end < text.size()) {
        const std::size_t next = text::nextChar(text, end);
        const int size = charBytes(text.substr(end, next - end), gbk);
        if (gbk ? bytes + size > maxBytes : bytes >= static_cast<long long>(maxBytes) + size) break;
        bytes += size;
        end = next;
    }
    return text.substr(0, end);
}

std::string escapeTitle(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 16);
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '\'':
                out += "&#039;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string cutToChars(std::string_view text, int chars) {
    std::size_t end = 0;
    for (int n = 0; n < chars && end < text.size(); ++n) end = text::nextChar(text, end);
    return std::string(text.substr(0, end));
}

// The characters whose numeric references the list's cleaning turns back into the character.
bool restoredByCleaning(char32_t c) {
    constexpr std::string_view kRestored = "!@#$%^&*()~`\";:?+/={}[]-_|'\\";
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           (c < 0x80 && kRestored.find(static_cast<char>(c)) != std::string_view::npos);
}

// A numeric reference at `at` ("&#39;", "&#039", "&#x27;") of a character the cleaning restores:
// the character and the reference's length; 0 when there is none.
std::size_t restorableReference(std::string_view text, std::size_t at, char32_t& character) {
    std::size_t i = at + 2;
    const bool hex = i < text.size() && (text[i] == 'x' || text[i] == 'X');
    if (hex) ++i;
    const std::size_t digitsAt = i;
    unsigned long value = 0;
    while (i < text.size() && i - digitsAt < 16) {
        const char c = text[i];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) break;
        value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
        ++i;
    }
    if (i == digitsAt || value > 0x7F || !restoredByCleaning(static_cast<char32_t>(value))) return 0;
    if (i < text.size() && text[i] == ';') ++i;
    character = static_cast<char32_t>(value);
    return i - at;
}

// The list's cleaning of a field; `lost` is set where a GBK back end would lose the whole text.
std::string cleanedForList(std::string_view stored, const TitleRules& rules, bool& lost) {
    const char removed = rules.cleaning == ListCleaning::DedeBiz ? '|' : ',';
    std::string restored;
    for (std::size_t at = 0; at < stored.size();) {
        const unsigned char c = static_cast<unsigned char>(stored[at]);
        if (c <= 0x08 || c == 0x0B || c == 0x0C || (c >= 0x0E && c <= 0x19) || c == removed) {
            ++at;
            continue;
        }
        char32_t character = 0;
        if (stored.compare(at, 2, "&#") == 0) {
            if (const std::size_t length = restorableReference(stored, at, character)) {
                restored.push_back(static_cast<char>(character));
                at += length;
                continue;
            }
        }
        restored.push_back(stored[at++]);
    }
    std::string cleaned;
    lost = false;
    for (const char c : restored) {
        const char* lookAlike = nullptr;
        switch (c) {
            case '`':
            case '\'':
                lookAlike = "‘";
                break;
            case '"':
                lookAlike = "“";
                break;
            case '(':
                lookAlike = "（";
                break;
            case ')':
                lookAlike = "）";
                break;
            case ',':
                lookAlike = "，";
                break;
            default:
                break;
        }
        if (lookAlike == nullptr) {
            cleaned.push_back(c);
        } else {
            cleaned += lookAlike;
            lost = lost || rules.gbk;
        }
    }
    return cleaned;
}

}  // namespace

std::string storedTitle(std::string_view sent, const TitleRules& rules) {
    std::string quotesReplaced;
    for (const char c : sent) {
        if (c == '"') {
            quotesReplaced += "＂";
        } else {
            quotesReplaced.push_back(c);
        }
    }
    std::string stored = escapeTitle(cutToBytes(quotesReplaced, std::max(rules.maxBytes, 0), rules.gbk));
    if (rules.columnChars > 0) stored = cutToChars(stored, rules.columnChars);
    if (rules.fixedWidthColumn) {
        while (!stored.empty() && stored.back() == ' ') stored.pop_back();
    }
    return stored;
}

std::vector<std::string> listedTitleForms(std::string_view stored, const TitleRules& rules) {
    std::vector<std::string> forms{listedText(stored)};
    bool lost = false;
    const std::string cleaned = cleanedForList(stored, rules, lost);
    std::string form = lost ? std::string() : listedText(cleaned);
    if (std::find(forms.begin(), forms.end(), form) == forms.end()) forms.push_back(std::move(form));
    return forms;
}

std::string storedTitleKeyword(std::string_view stored) {
    std::string keyword;
    std::size_t at = 0;
    for (int n = 0; n < kKeywordChars && at < stored.size() && stored[at] != '\\'; ++n) {
        const std::size_t next = text::nextChar(stored, at);
        keyword.append(stored.substr(at, next - at));
        at = next;
    }
    return text::trimBlanks(keyword);
}

}  // namespace oz::backend
