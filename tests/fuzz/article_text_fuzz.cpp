// Article decoding and composition (content/load_text.h, content/compose.h): byte-order marks, meta
// charsets, the UTF-8 test, gzip. Input: one byte whose value modulo 7 is the 文件编码 setting
// (0 detect ... 6 Big5-HKSCS) and whose next bit takes the title from the first line, then the
// file's bytes. Checks: the text is always valid UTF-8 and the code a real one; a byte-order mark
// decides the code when detecting; valid UTF-8 passes the UTF-8 test; the composed article's
// title, from the first line or from the file name, holds no control character.

#include "config/site_config.h"
#include "content/article_pictures.h"
#include "content/compose.h"
#include "content/gzip.h"
#include "content/load_text.h"
#include "fuzz_support.h"
#include "text/characters.h"
#include "text/charset.h"

namespace {

namespace content = oz::content;
namespace text = oz::text;

// Inflated inputs beyond this are not composed: a gzip bomb is refused at 64 MB by loadText, and
// reading that much for every input would slow the search without testing anything new.
constexpr std::size_t kMaxInflated = 1 << 20;

bool holdsControlCharacter(std::string_view line) {
    for (std::size_t at = 0, length = 0; at < line.size(); at += length) {
        if (text::isControlCharacter(text::codePointAt(line, at, &length))) return true;
    }
    return false;
}

const content::WordSegmenter& segmenter() {
    static const content::WordSegmenter instance(" 中国 人民 标题 正文 天气 ");
    return instance;
}

void checkLoaded(std::string_view bytes, content::EncodingCode setting) {
    const content::LoadedText loaded = content::loadTextBytes(bytes, setting);
    OZ_FUZZ_CHECK(text::isValidUtf8(loaded.text));
    OZ_FUZZ_CHECK(loaded.detected != content::EncodingCode::Detect);
    OZ_FUZZ_CHECK(loaded.problem == content::LoadProblem::None);
    if (setting == content::EncodingCode::Detect && !content::isGzip(bytes)) {
        if (bytes.starts_with("\xEF\xBB\xBF")) OZ_FUZZ_CHECK(loaded.detected == content::EncodingCode::Utf8);
        if (bytes.starts_with("\xFF\xFE") && !loaded.text.empty()) {
            OZ_FUZZ_CHECK(loaded.detected == content::EncodingCode::Utf16Le);
        }
    }
}

void checkComposed(std::string_view bytes, content::EncodingCode setting, bool firstLineTitle) {
    oz::config::SiteConfig site;
    site.keywordMethod = content::kFirstLine;
    site.tagMethod = content::kAutoSegment;
    site.shortTitleMethod = content::kUseTitle;
    site.firstLineTitle = firstLineTitle;
    site.paragraphTags = true;
    content::SitePools pools;
    const std::string path = "/articles/" + std::string(bytes.substr(0, 40)) + ".txt";
    const auto draft =
        content::composeText(site, pools, path, content::loadTextBytes(bytes, setting).text, segmenter());
    if (!draft) return;
    OZ_FUZZ_CHECK(!holdsControlCharacter(draft->title));
    OZ_FUZZ_CHECK(text::isValidUtf8(draft->title));
    OZ_FUZZ_CHECK(text::isValidUtf8(draft->body));
    OZ_FUZZ_CHECK(!holdsControlCharacter(draft->keywords));
}

}  // namespace

// The local pictures of a body: each address is the piece of the body it names, the pieces come
// in order without overlapping, and putting each back as it was gives the body again.
void checkPictures(std::string_view body) {
    const std::vector<content::LocalPicture> pictures =
        content::localPictures(body, "/nonexistent-oz/a.html");
    std::vector<std::string> same;
    std::size_t after = 0;
    for (const content::LocalPicture& picture : pictures) {
        OZ_FUZZ_CHECK(picture.offset >= after && picture.offset + picture.length <= body.size());
        OZ_FUZZ_CHECK_EQ(body.substr(picture.offset, picture.length), picture.written);
        after = picture.offset + picture.length;
        same.push_back(picture.written);
    }
    OZ_FUZZ_CHECK_EQ(content::withAddresses(body, pictures, same), body);
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto setting = content::encodingCodeFromInt(data[0] % 7);
    const bool firstLineTitle = (data[0] / 7) % 2 == 1;
    const std::string_view bytes = oz::fuzz::asText(data + 1, size - 1);
    if (content::isGzip(bytes) && !content::gunzip(bytes, kMaxInflated)) return 0;

    checkLoaded(bytes, setting);
    checkComposed(bytes, setting, firstLineTitle);
    checkPictures(bytes);

    const content::EncodingCode meta = content::metaCharset(bytes);
    OZ_FUZZ_CHECK(meta == content::EncodingCode::Detect || meta == content::EncodingCode::Utf8 ||
                  meta == content::EncodingCode::Big5 || meta == content::EncodingCode::Big5Hkscs);
    if (text::isValidUtf8(bytes) && content::looksLikeUtf8(bytes) == false) {
        for (char c : bytes) OZ_FUZZ_CHECK(static_cast<unsigned char>(c) < 0x80);
    }
    const std::string title = content::titleOfPath(bytes);
    OZ_FUZZ_CHECK(!title.empty());
    OZ_FUZZ_CHECK(text::isValidUtf8(title));
    OZ_FUZZ_CHECK(!holdsControlCharacter(title));
    return 0;
}
