#include "backend/answer_text.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <string_view>

#include "text/characters.h"

namespace oz::backend {
namespace {

struct NamedEntity {
    std::string_view name;
    char32_t codePoint;
};

// The 252 character entity names of HTML 4.01, sorted by name (byte order). "nbsp" stands for an
// ordinary space here: the texts are read as plain text, not laid out.
constexpr std::array<NamedEntity, 252> kHtml401Entities{{
    {"AElig", 198},   {"Aacute", 193},  {"Acirc", 194},   {"Agrave", 192},  {"Alpha", 913},
    {"Aring", 197},   {"Atilde", 195},  {"Auml", 196},    {"Beta", 914},    {"Ccedil", 199},
    {"Chi", 935},     {"Dagger", 8225}, {"Delta", 916},   {"ETH", 208},     {"Eacute", 201},
    {"Ecirc", 202},   {"Egrave", 200},  {"Epsilon", 917}, {"Eta", 919},     {"Euml", 203},
    {"Gamma", 915},   {"Iacute", 205},  {"Icirc", 206},   {"Igrave", 204},  {"Iota", 921},
    {"Iuml", 207},    {"Kappa", 922},   {"Lambda", 923},  {"Mu", 924},      {"Ntilde", 209},
    {"Nu", 925},      {"OElig", 338},   {"Oacute", 211},  {"Ocirc", 212},   {"Ograve", 210},
    {"Omega", 937},   {"Omicron", 927}, {"Oslash", 216},  {"Otilde", 213},  {"Ouml", 214},
    {"Phi", 934},     {"Pi", 928},      {"Prime", 8243},  {"Psi", 936},     {"Rho", 929},
    {"Scaron", 352},  {"Sigma", 931},   {"THORN", 222},   {"Tau", 932},     {"Theta", 920},
    {"Uacute", 218},  {"Ucirc", 219},   {"Ugrave", 217},  {"Upsilon", 933}, {"Uuml", 220},
    {"Xi", 926},      {"Yacute", 221},  {"Yuml", 376},    {"Zeta", 918},    {"aacute", 225},
    {"acirc", 226},   {"acute", 180},   {"aelig", 230},   {"agrave", 224},  {"alefsym", 8501},
    {"alpha", 945},   {"amp", 38},      {"and", 8743},    {"ang", 8736},    {"aring", 229},
    {"asymp", 8776},  {"atilde", 227},  {"auml", 228},    {"bdquo", 8222},  {"beta", 946},
    {"brvbar", 166},  {"bull", 8226},   {"cap", 8745},    {"ccedil", 231},  {"cedil", 184},
    {"cent", 162},    {"chi", 967},     {"circ", 710},    {"clubs", 9827},  {"cong", 8773},
    {"copy", 169},    {"crarr", 8629},  {"cup", 8746},    {"curren", 164},  {"dArr", 8659},
    {"dagger", 8224}, {"darr", 8595},   {"deg", 176},     {"delta", 948},   {"diams", 9830},
    {"divide", 247},  {"eacute", 233},  {"ecirc", 234},   {"egrave", 232},  {"empty", 8709},
    {"emsp", 8195},   {"ensp", 8194},   {"epsilon", 949}, {"equiv", 8801},  {"eta", 951},
    {"eth", 240},     {"euml", 235},    {"euro", 8364},   {"exist", 8707},  {"fnof", 402},
    {"forall", 8704}, {"frac12", 189},  {"frac14", 188},  {"frac34", 190},  {"frasl", 8260},
    {"gamma", 947},   {"ge", 8805},     {"gt", 62},       {"hArr", 8660},   {"harr", 8596},
    {"hearts", 9829}, {"hellip", 8230}, {"iacute", 237},  {"icirc", 238},   {"iexcl", 161},
    {"igrave", 236},  {"image", 8465},  {"infin", 8734},  {"int", 8747},    {"iota", 953},
    {"iquest", 191},  {"isin", 8712},   {"iuml", 239},    {"kappa", 954},   {"lArr", 8656},
    {"lambda", 955},  {"lang", 9001},   {"laquo", 171},   {"larr", 8592},   {"lceil", 8968},
    {"ldquo", 8220},  {"le", 8804},     {"lfloor", 8970}, {"lowast", 8727}, {"loz", 9674},
    {"lrm", 8206},    {"lsaquo", 8249}, {"lsquo", 8216},  {"lt", 60},       {"macr", 175},
    {"mdash", 8212},  {"micro", 181},   {"middot", 183},  {"minus", 8722},  {"mu", 956},
    {"nabla", 8711},  {"nbsp", 32},     {"ndash", 8211},  {"ne", 8800},     {"ni", 8715},
    {"not", 172},     {"notin", 8713},  {"nsub", 8836},   {"ntilde", 241},  {"nu", 957},
    {"oacute", 243},  {"ocirc", 244},   {"oelig", 339},   {"ograve", 242},  {"oline", 8254},
    {"omega", 969},   {"omicron", 959}, {"oplus", 8853},  {"or", 8744},     {"ordf", 170},
    {"ordm", 186},    {"oslash", 248},  {"otilde", 245},  {"otimes", 8855}, {"ouml", 246},
    {"para", 182},    {"part", 8706},   {"permil", 8240}, {"perp", 8869},   {"phi", 966},
    {"pi", 960},      {"piv", 982},     {"plusmn", 177},  {"pound", 163},   {"prime", 8242},
    {"prod", 8719},   {"prop", 8733},   {"psi", 968},     {"quot", 34},     {"rArr", 8658},
    {"radic", 8730},  {"rang", 9002},   {"raquo", 187},   {"rarr", 8594},   {"rceil", 8969},
    {"rdquo", 8221},  {"real", 8476},   {"reg", 174},     {"rfloor", 8971}, {"rho", 961},
    {"rlm", 8207},    {"rsaquo", 8250}, {"rsquo", 8217},  {"sbquo", 8218},  {"scaron", 353},
    {"sdot", 8901},   {"sect", 167},    {"shy", 173},     {"sigma", 963},   {"sigmaf", 962},
    {"sim", 8764},    {"spades", 9824}, {"sub", 8834},    {"sube", 8838},   {"sum", 8721},
    {"sup", 8835},    {"sup1", 185},    {"sup2", 178},    {"sup3", 179},    {"supe", 8839},
    {"szlig", 223},   {"tau", 964},     {"there4", 8756}, {"theta", 952},   {"thetasym", 977},
    {"thinsp", 8201}, {"thorn", 254},   {"tilde", 732},   {"times", 215},   {"trade", 8482},
    {"uArr", 8657},   {"uacute", 250},  {"uarr", 8593},   {"ucirc", 251},   {"ugrave", 249},
    {"uml", 168},     {"upsih", 978},   {"upsilon", 965}, {"uuml", 252},    {"weierp", 8472},
    {"xi", 958},      {"yacute", 253},  {"yen", 165},     {"yuml", 255},    {"zeta", 950},
    {"zwj", 8205},    {"zwnj", 8204},
}};

const NamedEntity* findEntity(std::string_view name) {
    auto it =
        std::lower_bound(kHtml401Entities.begin(), kHtml401Entities.end(), name,
                         [](const NamedEntity& entity, std::string_view key) { return entity.name < key; });
    return it != kHtml401Entities.end() && it->name == name ? &*it : nullptr;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The four hex digits at `offset` as a UTF-16 code unit; -1 when they are not four hex digits.
long codeUnitAt(std::string_view text, std::size_t offset) {
    if (offset + 4 > text.size()) return -1;
    long value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        int digit = hexValue(text[offset + i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

bool isHighSurrogate(long unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool isLowSurrogate(long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

// JSON-style "\uXXXX" escapes; a surrogate pair written as two escapes gives its one character, a
// lone surrogate a "?" (what a conversion to the program's text makes of it).
std::string unescapeUnicode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t slash = text.find('\\', i);
        if (slash == std::string_view::npos) break;
        out.append(text.substr(i, slash - i));
        long unit = slash + 1 < text.size() && text[slash + 1] == 'u' ? codeUnitAt(text, slash + 2) : -1;
        if (unit < 1) {
            out.push_back('\\');
            i = slash + 1;
            continue;
        }
        i = slash + 6;
        if (isHighSurrogate(unit)) {
            long low =
                i + 1 < text.size() && text[i] == '\\' && text[i + 1] == 'u' ? codeUnitAt(text, i + 2) : -1;
            if (isLowSurrogate(low)) {
                text::appendCodePoint(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                i += 6;
            } else {
                out.push_back('?');
            }
        } else if (isLowSurrogate(unit)) {
            out.push_back('?');
        } else {
            text::appendCodePoint(out, static_cast<char32_t>(unit));
        }
    }
    out.append(text.substr(std::min(i, text.size())));
    return out;
}

std::string unescapeSlashAndQuote(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '/')) continue;
        out.push_back(text[i]);
    }
    return out;
}

bool isValidCodePoint(unsigned long value) {
    return value >= 1 && value <= 0x10FFFF && !(value >= 0xD800 && value <= 0xDFFF);
}

// The character a reference body (the text between "&" and ";") stands for; 0 when it stands for
// none. Numeric bodies give their code point; a name of at least two characters is looked up in
// its lower-case form.
char32_t referenceCharacter(std::string_view body) {
    if (!body.empty() && body[0] == '#') {
        bool hex = body.size() > 1 && (body[1] == 'x' || body[1] == 'X');
        std::string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty()) return 0;
        unsigned long value = 0;
        for (char c : digits) {
            int digit = hex ? hexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
            if (digit < 0) return 0;
            value = value * (hex ? 16 : 10) + static_cast<unsigned long>(digit);
            if (value > 0x10FFFF) return 0;
        }
        return isValidCodePoint(value) ? static_cast<char32_t>(value) : 0;
    }
    if (body.size() < 2) return 0;
    const NamedEntity* entity = findEntity(text::toLowerAscii(body));
    return entity != nullptr ? entity->codePoint : 0;
}

// Longest reference body worth examining; longer ones are never valid.
constexpr std::size_t kMaxReferenceBody = 32;

std::string decodeReferences(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    std::size_t semi = 0;
    while (i < text.size()) {
        std::size_t amp = text.find('&', i);
        if (amp == std::string_view::npos) break;
        if (semi <= amp) semi = text.find(';', amp + 1);
        if (semi == std::string_view::npos) break;  // no reference can follow
        out.append(text.substr(i, amp - i));
        std::string_view body = text.substr(amp + 1, semi - amp - 1);
        char32_t character = body.size() <= kMaxReferenceBody ? referenceCharacter(body) : 0;
        if (character != 0) {
            text::appendCodePoint(out, character);
            i = semi + 1;
        } else {
            out.push_back('&');
            i = amp + 1;
        }
    }
    out.append(text.substr(std::min(i, text.size())));
    return out;
}

}  // namespace

std::string decodeAnswerText(std::string_view text) {
    return decodeReferences(unescapeSlashAndQuote(unescapeUnicode(text)));
}

std::string decodeCharacterReferences(std::string_view text) { return decodeReferences(text); }

}  // namespace oz::backend
