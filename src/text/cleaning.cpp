#include "text/cleaning.h"

#include <array>
#include <charconv>
#include <utility>

#include "text/characters.h"
#include "text/markers.h"
#include "text/regex_matcher.h"

namespace oz::text {
namespace {

constexpr auto npos = std::string_view::npos;
constexpr std::string_view kFullWidthSpace = "\u3000";

// The named entities in the order they are decoded; "&amp;" first so "&amp;lt;" ends as "<".
constexpr std::array<std::pair<std::string_view, std::string_view>, 40> kEntities{{
    {"&amp;", "&"},         {"&ndash;", "\u2013"}, {"&mdash;", "\u2014"},  {"&ldquo;", "\u201C"},
    {"&rdquo;", "\u201D"},  {"&nbsp;", " "},       {"&lt;", "<"},          {"&gt;", ">"},
    {"&quot;", "\""},       {"&times;", "\u00D7"}, {"&divide;", "\u00F7"}, {"&middot;", "\u00B7"},
    {"&hellip;", "\u2026"}, {"&lsquo;", "\u2018"}, {"&rsquo;", "\u2019"},  {"&permil;", "\u2030"},
    {"&prime;", "\u2032"},  {"&Prime;", "\u2033"}, {"&larr;", "\u2190"},   {"&uarr;", "\u2191"},
    {"&rarr;", "\u2192"},   {"&darr;", "\u2193"},  {"&radic;", "\u221A"},  {"&prop;", "\u221D"},
    {"&infin;", "\u221E"},  {"&ang;", "\u2220"},   {"&and;", "\u2227"},    {"&or;", "\u2228"},
    {"&cap;", "\u2229"},    {"&cup;", "\u222A"},   {"&int;", "\u222B"},    {"&there4;", "\u2234"},
    {"&sim;", "\u223C"},    {"&asymp;", "\u2248"}, {"&ne;", "\u2260"},     {"&equiv;", "\u2261"},
    {"&le;", "\u2264"},     {"&ge;", "\u2265"},    {"&oplus;", "\u2295"},  {"&perp;", "\u22A5"},
}};

bool isAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool isAllOf(std::string_view text, bool (*accept)(char)) {
    for (const char c : text) {
        if (!accept(c)) return false;
    }
    return !text.empty();
}

bool isDecimal(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDecimal(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// The code a numeric reference names, from the text between "&#" and ";": a non-zero decimal
// number, else the text after its first character read as hexadecimal. 0 when neither gives a
// character.
char32_t referenceCode(std::string_view body) {
    constexpr std::size_t kLongest = 8;  // longer bodies cannot name a code point
    if (body.empty() || body.size() > kLongest) return 0;
    unsigned long code = 0;
    if (isAllOf(body, isDecimal)) {
        std::from_chars(body.data(), body.data() + body.size(), code);
    }
    if (code == 0 && isAllOf(body.substr(1), isHex)) {
        std::from_chars(body.data() + 1, body.data() + body.size(), code, 16);
    }
    if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return static_cast<char32_t>(code);
}

std::string decodeNumericReferences(std::string_view text) {
    std::string out;
    std::size_t copied = 0;
    std::size_t semicolon = 0;  // the last ";" found; reused while it still lies ahead
    for (std::size_t amp = text.find("&#"); amp != npos; amp = text.find("&#", amp + 2)) {
        if (semicolon < amp + 2) {
            semicolon = text.find(';', amp + 2);
            if (semicolon == npos) break;  // no reference can end any more
        }
        const char32_t code = referenceCode(text.substr(amp + 2, semicolon - amp - 2));
        if (code == 0) continue;  // not a reference: left as written
        out.append(text, copied, amp - copied);
        appendCodePoint(out, code);
        copied = semicolon + 1;
        amp = semicolon - 1;
    }
    if (copied == 0) return std::string(text);
    out.append(text.substr(copied));
    return out;
}

// The named entity (other than "&amp;") that starts at `at`, or nullptr.
const std::pair<std::string_view, std::string_view>* namedEntityAt(std::string_view text, std::size_t at) {
    constexpr std::size_t kLongest = 8;  // "&there4;"
    const std::size_t semicolon = text.substr(at, kLongest).find(';');
    if (semicolon == npos) return nullptr;
    const std::string_view name = text.substr(at, semicolon + 1);
    for (std::size_t i = 1; i < kEntities.size(); ++i) {
        if (kEntities[i].first == name) return &kEntities[i];
    }
    return nullptr;
}

// One pass over the text for every named entity but "&amp;". Entities neither overlap nor can a
// replacement form a new one, so this equals replacing them one list item after another.
std::string replaceNamedEntities(std::string_view text, bool remove) {
    std::string out;
    std::size_t copied = 0;
    for (std::size_t amp = text.find('&'); amp != npos; amp = text.find('&', amp + 1)) {
        const auto* entity = namedEntityAt(text, amp);
        if (!entity) continue;
        if (copied == 0) out.reserve(text.size());
        out.append(text, copied, amp - copied);
        if (!remove) out.append(entity->second);
        copied = amp + entity->first.size();
        amp = copied - 1;
    }
    if (copied == 0) return std::string(text);
    out.append(text.substr(copied));
    return out;
}

// Puts CR LF before "<p", "</p>", "<br>", "</ br>", "</br>" and "<br />" (any letter case).
std::string breakBeforeBlocks(std::string_view text) {
    constexpr std::array<std::string_view, 6> kBlocks{"<p", "</p>", "<br>", "</ br>", "</br>", "<br />"};
    std::string out;
    out.reserve(text.size() + text.size() / 16);
    std::size_t copied = 0;
    for (std::size_t open = text.find('<'); open != npos; open = text.find('<', open + 1)) {
        for (const std::string_view block : kBlocks) {
            if (equalsNoCase(text.substr(open, block.size()), block)) {
                out.append(text, copied, open - copied);
                out.append("\r\n");
                copied = open;
                break;
            }
        }
    }
    out.append(text.substr(copied));
    return out;
}

}  // namespace

std::string stripTags(std::string_view html, const StripTagsOptions& options) {
    std::string staged;
    std::string_view text = html;
    if (options.breakBeforeBlocks) {
        staged = breakBeforeBlocks(text);
        text = staged;
    }
    if (options.fullWidthSizeSigns) {
        staged = replaceEach(text, "Width>|Height>|Width<|Height<", "Width＞|Height＞|Width＜|Height＜");
        text = staged;
    }
    if (options.removeLinks) {
        staged = RegexMatcher(R"(<a[\s\S]+?>[\s\S]+?/a>|<[\s\S]+?>)").replace(text, "");
        text = staged;
    }
    return decodeEntities(removeTagSpans(text));
}

std::string removeTagSpans(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('<', at);
        if (open == npos) break;
        const std::size_t close = open + 2 <= text.size() ? text.find('>', open + 2) : npos;
        if (close == npos) break;  // no later "<" can close either
        out.append(text, at, open - at);
        at = close + 1;
    }
    out.append(text.substr(at));
    return out;
}

std::string decodeEntities(std::string_view text) {
    if (text.find('&') == npos) return std::string(text);
    // "&amp;" first, so that "&amp;lt;" ends as "<".
    return decodeNumericReferences(replaceNamedEntities(replaceAll(text, "&amp;", "&"), false));
}

std::string removeUrls(std::string_view text) {
    static const RegexMatcher kUrl(R"(([a-zA-z]+://|www.)[^\u4e00-\u9fa5\s'<>")"
                                   "\""
                                   R"(]+)");
    // Every address holds "://" or "www"; most texts hold neither and skip the pattern.
    if (text.find("://") == npos && findNoCase(text, "www") == npos) return std::string(text);
    return kUrl.replace(text, "");
}

std::string removeWhitespace(std::string_view text, std::size_t limit) {
    std::string out;
    out.reserve(std::min(text.size(), limit));
    // Copies the runs between white space in one piece each.
    std::size_t run = 0;  // where the pending run of kept bytes starts
    std::size_t at = 0;
    while (at < text.size() && out.size() + (at - run) < limit) {
        std::size_t skip = 0;
        if (isAsciiSpace(text[at])) {
            skip = 1;
        } else if (text[at] == kFullWidthSpace[0] && text.substr(at).starts_with(kFullWidthSpace)) {
            skip = kFullWidthSpace.size();
        }
        if (skip == 0) {
            ++at;
            continue;
        }
        out.append(text, run, at - run);
        at += skip;
        run = at;
    }
    out.append(text, run, at - run);
    return out;
}

std::string keepWordChars(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDecimal(c) || c == '_' || c == '-' ||
            c == ',' || c == '.') {
            out += c;
        }
    }
    return out;
}

std::string scanStripTags(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t open = text.find('<', at);
        const std::size_t close = open == npos ? npos : text.find('>', open + 1);
        if (close == npos) break;
        out.append(text, at, open - at);
        at = close + 1;
    }
    out.append(text.substr(at));
    return out;
}

std::string stripEntities(std::string_view text) {
    if (text.find('&') == npos) return std::string(text);
    return replaceAll(replaceNamedEntities(text, true), "&amp;", "");
}

}  // namespace oz::text
