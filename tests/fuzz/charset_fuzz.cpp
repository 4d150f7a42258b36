// Charset conversion (text/charset.h). Input: one byte choosing the charset, then the bytes.
// Checks: every decoding gives valid UTF-8; a strict decoding that succeeds equals the lossy one;
// what encodes decodes back to the same text; encodePrefix stops exactly at the first character
// the charset lacks, and its bytes are the encoding of what it took; encodeWith's result is all
// in the charset; the UTF-8 test agrees with the strict UTF-8 decoding.

#include <array>

#include "fuzz_support.h"
#include "text/characters.h"
#include "text/charset.h"

namespace {

using oz::text::Charset;

constexpr std::array kCharsets = {Charset::Utf8, Charset::Gbk,       Charset::Utf16Le, Charset::Utf16Be,
                                  Charset::Big5, Charset::Big5Hkscs, Charset::SiteGbk, Charset::Utf8Bmp};

void checkDecoding(std::string_view bytes, Charset charset) {
    const std::string lossy = oz::text::decodeLossy(bytes, charset);
    OZ_FUZZ_CHECK(oz::text::isValidUtf8(lossy));
    if (const auto strict = oz::text::decode(bytes, charset)) {
        OZ_FUZZ_CHECK(oz::text::isValidUtf8(*strict));
        OZ_FUZZ_CHECK_EQ(lossy, *strict);
    }
}

void checkEncoding(const std::string& text, Charset charset) {
    const auto encoded = oz::text::encode(text, charset);
    if (encoded) OZ_FUZZ_CHECK_EQ(oz::text::decode(*encoded, charset).value_or("(not decodable)"), text);

    std::string prefixBytes;
    const std::size_t taken = oz::text::encodePrefix(text, charset, prefixBytes);
    OZ_FUZZ_CHECK(taken <= text.size());
    OZ_FUZZ_CHECK_EQ(taken == text.size(), encoded.has_value());
    if (encoded) OZ_FUZZ_CHECK_EQ(prefixBytes, *encoded);
    // What it took is whole characters the charset holds, and the character after them is one it
    // lacks.
    const std::string took = text.substr(0, taken);
    OZ_FUZZ_CHECK_EQ(oz::text::encode(took, charset).value_or("(not encodable)"), prefixBytes);
    if (taken < text.size()) {
        const std::size_t next = oz::text::nextChar(text, taken);
        OZ_FUZZ_CHECK(!oz::text::encode(text.substr(taken, next - taken), charset).has_value());
    }

    const std::string withReferences = oz::text::encodeWith(text, charset, oz::text::characterReference);
    OZ_FUZZ_CHECK(oz::text::decode(withReferences, charset).has_value());
    if (encoded) OZ_FUZZ_CHECK_EQ(withReferences, *encoded);

    const std::string lossy = oz::text::encodeLossy(text, charset);
    if (encoded) OZ_FUZZ_CHECK_EQ(lossy, *encoded);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const Charset charset = kCharsets[data[0] % kCharsets.size()];
    const std::string_view bytes = oz::fuzz::asText(data + 1, size - 1);

    checkDecoding(bytes, charset);
    OZ_FUZZ_CHECK_EQ(oz::text::isValidUtf8(bytes), oz::text::decode(bytes, Charset::Utf8).has_value());
    OZ_FUZZ_CHECK(oz::text::isValidUtf8(oz::text::utf8OrGbkText(bytes)));

    // The same bytes as text inside the program: valid UTF-8.
    checkEncoding(oz::text::decodeLossy(bytes, Charset::Utf8), charset);
    return 0;
}
