// Category list lines (backend/category_creation.h) and the request bodies made of them
// (backend/url_encoding.h). Input: the text of a category list, one category per line. Checks:
// every field falls back to its default, 栏目属性 gives ispart 0, 1 or 2 whatever number it holds
// (no undefined behaviour on the way); the catalog_add.php body holds nothing but unreserved bytes,
// "&", "=" and well-formed percent escapes; percent-encoding gives the text's bytes back.

#include "backend/category_creation.h"
#include "backend/url_encoding.h"
#include "fuzz_support.h"
#include "text/charset.h"

namespace {

namespace backend = oz::backend;

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool isUnreserved(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '-';
}

// The bytes of a percent-encoded value; checks that it is one: unreserved bytes, the `kept` ones
// and "%" with two upper-case hexadecimal digits.
std::string percentDecoded(std::string_view encoded, std::string_view kept = {}) {
    std::string bytes;
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '%') {
            OZ_FUZZ_CHECK(i + 2 < encoded.size());
            const int high = hexDigit(encoded[i + 1]);
            const int low = hexDigit(encoded[i + 2]);
            OZ_FUZZ_CHECK(high >= 0 && low >= 0);
            bytes += static_cast<char>(high * 16 + low);
            i += 2;
            continue;
        }
        OZ_FUZZ_CHECK(isUnreserved(c) || kept.find(c) != std::string_view::npos);
        bytes += c;
    }
    return bytes;
}

void checkFields(std::string_view line) {
    const backend::CategoryFields fields = backend::parseCategoryLine(line);
    OZ_FUZZ_CHECK(fields.ispart >= 0 && fields.ispart <= 2);
    OZ_FUZZ_CHECK_EQ(fields.name, line.substr(0, line.find('|')));
    OZ_FUZZ_CHECK(!fields.listTemplate.empty());
    OZ_FUZZ_CHECK(!fields.articleRule.empty() && !fields.listRule.empty() && !fields.articleTemplate.empty());
    if (!fields.name.empty()) OZ_FUZZ_CHECK(!fields.seoTitle.empty() && !fields.keywords.empty());

    backend::CreateCategoriesOptions options;
    for (const bool utf8Site : {true, false}) {
        const std::string body = backend::categoryAddBody(fields, 7, "{cmspath}/a", options, utf8Site);
        percentDecoded(body, "&=");
    }
}

void checkEncoding(std::string_view text) {
    OZ_FUZZ_CHECK_EQ(percentDecoded(backend::urlEncode(text, true)), text);
    OZ_FUZZ_CHECK_EQ(percentDecoded(backend::urlEncode(text, true, true), "&="), text);
    const std::string gbk = percentDecoded(backend::urlEncode(text, false));
    const auto bytes = oz::text::encode(text, oz::text::Charset::SiteGbk);
    if (bytes) OZ_FUZZ_CHECK_EQ(gbk, *bytes);
    const std::string mapForm = percentDecoded(backend::gbkFormEncode(text), "!()*");
    if (bytes) OZ_FUZZ_CHECK_EQ(mapForm, *bytes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = oz::fuzz::asText(data, size);
    const std::string text = oz::text::decodeLossy(input, oz::text::Charset::Utf8);
    const std::vector<backend::CategoryInputLine> lines = backend::categoryLinesFromText(text, 3);
    for (const backend::CategoryInputLine& line : lines) {
        OZ_FUZZ_CHECK_EQ(line.parentId, 3);
        OZ_FUZZ_CHECK(line.line.find('\n') == std::string::npos);
        OZ_FUZZ_CHECK(line.line.find_first_not_of(" \t\r") != std::string::npos);
        checkFields(line.line);
    }
    checkFields(input);
    checkEncoding(text);
    return 0;
}
