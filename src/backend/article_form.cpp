#include "backend/article_form.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "backend/date_text.h"
#include "backend/url_encoding.h"
#include "content/submission_draws.h"
#include "text/characters.h"
#include "text/charset.h"

namespace oz::backend {
namespace {

const char* onOff(bool on) { return on ? "1" : "0"; }

struct LookAlike {
    char32_t from;
    std::string_view to;  // empty: an invisible character, dropped without a word
};

// Characters a site's charset may lack with an obvious stand-in in plain text, used only when the
// charset lacks them. Sorted by code point.
constexpr LookAlike kLookAlikes[] = {
    {0x00A0, " "},  {0x00A1, "!"},   {0x00A5, "￥"},  {0x00A6, "|"},   {0x00A9, "(C)"}, {0x00AB, "《"},
    {0x00AD, ""},   {0x00AE, "(R)"}, {0x00B2, "2"},   {0x00B3, "3"},   {0x00B4, "'"},   {0x00B5, "μ"},
    {0x00B9, "1"},  {0x00BB, "》"},  {0x00BC, "1/4"}, {0x00BD, "1/2"}, {0x00BE, "3/4"}, {0x00BF, "?"},
    {0x2002, " "},  {0x2003, " "},   {0x2004, " "},   {0x2005, " "},   {0x2006, " "},   {0x2007, " "},
    {0x2008, " "},  {0x2009, " "},   {0x200A, " "},   {0x200B, ""},    {0x200C, ""},    {0x200D, ""},
    {0x2011, "-"},  {0x2012, "-"},   {0x201A, ","},   {0x201B, "‘"},   {0x201E, "“"},   {0x201F, "“"},
    {0x2022, "·"},  {0x2024, "."},   {0x2027, "·"},   {0x202F, " "},   {0x2039, "<"},   {0x203A, ">"},
    {0x2043, "-"},  {0x2044, "/"},   {0x205F, " "},   {0x2060, ""},    {0x2122, "TM"},  {0x2212, "-"},
    {0x2219, "·"},  {0x22C5, "·"},   {0x2713, "√"},   {0x2714, "√"},   {0x2717, "×"},   {0x2718, "×"},
    {0x301C, "～"}, {0x30FB, "·"},   {0xFE0E, ""},    {0xFE0F, ""},    {0xFEFF, ""},    {0xFF65, "·"},
};

// Latin-1 letters by their base letters, from U+00C0 on ("" where GBK always has the character).
constexpr std::string_view kLatinBases[] = {
    "A", "A", "A", "A", "A", "A", "AE", "C", "E", "E", "E", "E", "I", "I", "I",  "I",
    "D", "N", "O", "O", "O", "O", "O",  "",  "O", "U", "U", "U", "U", "Y", "Th", "ss",
    "a", "a", "a", "a", "a", "a", "ae", "c", "e", "e", "e", "e", "i", "i", "i",  "i",
    "d", "n", "o", "o", "o", "o", "o",  "",  "o", "u", "u", "u", "u", "y", "th", "y",
};

// The plain-text stand-in of a character the site's charset lacks; std::nullopt when there is none
// and the character is left out.
std::optional<std::string_view> lookAlike(char32_t c) {
    if (c >= 0xC0 && c <= 0xFF && !kLatinBases[c - 0xC0].empty()) return kLatinBases[c - 0xC0];
    for (const LookAlike& entry : kLookAlikes) {
        if (entry.from == c) return entry.to;
        if (entry.from > c) break;
    }
    return std::nullopt;
}

// Plain-text fields (title, keywords, tags, ...) are shown as text: a reference would show as its
// literal "&#...;". A missing character becomes its look-alike, or is left out and noted once.
// `replaced`, when given, gets each character that became a visible look-alike, once.
std::string plainFieldBytes(std::string_view value, text::Charset charset, std::string& leftOut,
                            std::vector<Replacement>* replaced = nullptr) {
    return text::encodeWith(value, charset, [&leftOut, replaced](char32_t c) {
        const std::string character = text::fromCodePoint(c);
        if (std::optional<std::string_view> stand = lookAlike(c)) {
            const bool seen =
                replaced == nullptr || std::any_of(replaced->begin(), replaced->end(),
                                                   [&](const auto& r) { return r.from == character; });
            // Invisible characters and spaces go without a word: only a changed look is told.
            if (!stand->empty() && *stand != " " && !seen)
                replaced->push_back({character, std::string(*stand)});
            return std::string(*stand);
        }
        if (leftOut.find(character) == std::string::npos) leftOut += character;
        return std::string();
    });
}

// Keywords and the description land in the page's <meta ... content="..."> as they are stored:
// the characters that would end the attribute or open a tag go as their full-width forms.
std::string withoutMarkupCharacters(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (char c : value) {
        switch (c) {
            case '"':
                out += "＂";
                break;
            case '<':
                out += "＜";
                break;
            case '>':
                out += "＞";
                break;
            default:
                out += c;
        }
    }
    return out;
}

}  // namespace

std::string titleColorText(int color) {
    auto value = static_cast<std::uint32_t>(color);
    if ((value & 0xFF000000u) != 0) return {};
    char bgr[8];
    std::snprintf(bgr, sizeof bgr, "%06X", static_cast<unsigned>(value));
    return std::string("#") + bgr[4] + bgr[5] + bgr[2] + bgr[3] + bgr[0] + bgr[1];
}

std::vector<FormEntry> articleFormEntries(const content::ArticleDraft& draft, const config::SiteConfig& site,
                                          const text::DateTime& now, int imageFieldX, int imageFieldY) {
    std::vector<FormEntry> form(kArticleFormSize);
    auto set = [&form](int position, std::string name, std::string value) {
        form[static_cast<std::size_t>(position)] = {std::move(name), std::move(value)};
    };
    set(0, "channelid", "1");
    set(1, "dopost", "save");
    set(2, "title", draft.title);
    set(3, "shorttitle", draft.shorttitle);
    // The flag block: positions 4..11 hold h c f a s b p and one always empty entry. Without
    // flags no flags[] field is sent at all.
    static constexpr std::string_view kFlagOrder = "hcfasbp";
    for (std::size_t i = 0; i < kFlagOrder.size(); ++i) {
        char letter = kFlagOrder[i];
        if (draft.flags.find(letter) != std::string::npos) set(4 + static_cast<int>(i), "flags[]", {letter});
    }
    set(12, "redirecturl", "");
    set(13, "tags", draft.tags);
    set(14, "weight", "");
    set(15, "picname", "");
    set(16, "litpic", "");
    set(17, "source", site.source);
    set(18, "writer", draft.writer);
    set(19, "typeid", std::to_string(draft.typeId));
    set(20, "typeid2", "");
    set(21, "keywords", withoutMarkupCharacters(draft.keywords));
    set(22, "autokey", "1");
    set(23, "description", withoutMarkupCharacters(draft.description));
    set(24, "dede_addonfields", "");
    set(25, "remote", onOff(site.downloadRemoteImages));
    set(26, "dellink", onOff(site.removeForeignLinks));
    set(27, "autolitpic", onOff(site.firstImageAsThumbnail));
    set(28, "needwatermark", onOff(site.watermarkImages));
    set(29, "sptype", site.splitPages ? "auto" : "hand");
    set(30, "spsize", std::to_string(site.pageSizeKb));
    set(31, "body", draft.body);
    set(32, "voteid", "");
    set(33, "notpost", onOff(site.closeComments));
    set(34, "click", std::to_string(draft.click));
    set(35, "sortup", "0");
    set(36, "color", titleColorText(site.titleColor));
    set(37, "arcrank", "0");
    set(38, "money", "0");
    set(39, "pubdate", dateTimeText(now));
    set(40, "ishtml", onOff(site.generateHtml));
    set(41, "filename", draft.filename);
    set(42, "templet", "");
    set(43, "imageField.x", std::to_string(imageFieldX));
    set(44, "imageField.y", std::to_string(imageFieldY));
    return form;
}

std::vector<FormEntry> buildArticleForm(content::ArticleDraft& draft, const config::SiteConfig& site,
                                        const BackendContext& context, const text::DateTime* publishTime) {
    content::drawSubmissionFields(draft, site);
    int x = context.randomBetween(30, 50);
    int y = context.randomBetween(10, 30);
    return articleFormEntries(draft, site, publishTime ? *publishTime : context.clockOrSystem().now(), x, y);
}

std::string formBody(const std::vector<FormEntry>& entries, bool utf8Site, std::string* leftOut,
                     std::vector<Replacement>* titleReplaced) {
    const text::Charset charset = utf8Site ? text::Charset::Utf8Bmp : text::Charset::SiteGbk;
    std::string dropped;
    std::string body;
    std::size_t estimate = 0;
    for (const FormEntry& entry : entries) estimate += entry.name.size() + entry.value.size() * 3 + 2;
    body.reserve(estimate);
    for (const FormEntry& entry : entries) {
        if (entry.name.empty() || entry.value.empty()) continue;
        if (!body.empty()) body += '&';
        body += entry.name;
        body += '=';
        // The body is HTML: a character the charset lacks still shows right as a reference.
        const std::string bytes = entry.name == "body"
                                      ? text::encodeWith(entry.value, charset, text::characterReference)
                                      : plainFieldBytes(entry.value, charset, dropped,
                                                        entry.name == "title" ? titleReplaced : nullptr);
        appendBytesUrlEncoded(body, bytes);
    }
    if (leftOut != nullptr) *leftOut = std::move(dropped);
    return body;
}

std::string plainFieldAsSent(std::string_view value, bool utf8Site) {
    const text::Charset charset = utf8Site ? text::Charset::Utf8Bmp : text::Charset::SiteGbk;
    std::string ignored;
    return text::decode(plainFieldBytes(value, charset, ignored), charset).value_or(std::string(value));
}

std::vector<std::string> tagWarnings(std::string_view tags, bool utf8Site, TagLimits limits) {
    const text::Charset charset = utf8Site ? text::Charset::Utf8Bmp : text::Charset::SiteGbk;
    std::vector<std::string> warnings;
    std::size_t start = 0;
    while (start <= tags.size()) {
        const std::size_t comma = std::min(tags.find(',', start), tags.size());
        std::string_view tag = tags.substr(start, comma - start);
        start = comma + 1;
        // PHP's trim, as the back end applies it before it measures the tag.
        constexpr std::string_view kTrimmed{" \t\n\r\0\x0B", 6};
        const std::size_t first = tag.find_first_not_of(kTrimmed);
        if (first == std::string_view::npos) continue;
        tag = tag.substr(first, tag.find_last_not_of(kTrimmed) - first + 1);
        std::string ignored;
        const std::string sent = plainFieldBytes(tag, charset, ignored);
        const std::string shown = text::decode(sent, charset).value_or(std::string(tag));
        const std::string named = "标签“" + shown + "”";
        if (shown.find_first_of("'\"\\") != std::string::npos) {
            warnings.push_back(named + "含有引号或反斜杠，后台不保存它");
        } else if (sent.size() > limits.bytes) {
            warnings.push_back(named + "长于后台的上限（" + std::to_string(limits.bytes) + " 字节，" +
                               (utf8Site ? "UTF-8" : "GBK") + " 编码下为 " + std::to_string(sent.size()) +
                               " 字节），后台不保存它");
        } else if (text::countChars(shown) > static_cast<int>(limits.chars)) {
            warnings.push_back(named + "长于后台的上限（" + std::to_string(limits.chars) +
                               " 个字），后台只保存“" +
                               text::leftChars(shown, static_cast<int>(limits.chars)) + "”");
        }
    }
    return warnings;
}

std::string replacementText(std::string_view field, const std::vector<Replacement>& replaced) {
    std::string from;
    std::string to;
    for (const Replacement& r : replaced) {
        if (!from.empty()) {
            from += "、";
            to += "、";
        }
        from += r.from;
        to += r.to;
    }
    return std::string(field) + "中的 " + from + " 已替换为 " + to;
}

}  // namespace oz::backend
