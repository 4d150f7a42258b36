#include "content/load_text.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_folder.h"
#include "text/charset.h"

namespace oz::content {
namespace {

using text::Charset;

const std::string kChinese = "中文测试，繁體字";
const std::string kUtf8Mark = "\xEF\xBB\xBF";
const std::string kLeMark = "\xFF\xFE";
const std::string kBeMark = "\xFE\xFF";

std::string enc(const std::string& utf8, Charset to) { return text::encode(utf8, to).value(); }

std::string gzipBytes(std::string_view data) {
    z_stream zs{};
    EXPECT_EQ(deflateInit2(&zs, 1, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::string out(deflateBound(&zs, data.size()), '\0');
    zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    zs.avail_in = static_cast<uInt>(data.size());
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

std::string page(std::string_view metaAttributes, const std::string& bodyUtf8, Charset charset) {
    return "<html><head><title>t</title><META " + std::string(metaAttributes) + "></head><body>" +
           enc(bodyUtf8, charset) + "</body></html>";
}

std::string pageText(std::string_view metaAttributes, const std::string& bodyUtf8) {
    return "<html><head><title>t</title><META " + std::string(metaAttributes) + "></head><body>" + bodyUtf8 +
           "</body></html>";
}

struct DecodeCase {
    const char* name;
    std::string bytes;
    EncodingCode setting;
    std::string expectedText;
    EncodingCode expectedCode;
};

class LoadTextMatrix : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(LoadTextMatrix, DecodesToUtf8AndReportsTheCode) {
    const DecodeCase& c = GetParam();
    const LoadedText loaded = loadTextBytes(c.bytes, c.setting);
    EXPECT_EQ(loaded.text, c.expectedText);
    EXPECT_EQ(loaded.detected, c.expectedCode);
}

const std::string kBig5Hk = "香港字";  // Big5 holds these too

INSTANTIATE_TEST_SUITE_P(
    Encodings, LoadTextMatrix,
    ::testing::Values(
        DecodeCase{"Utf8NoMarkDetected", enc(kChinese, Charset::Utf8), EncodingCode::Detect, kChinese,
                   EncodingCode::Utf8},
        DecodeCase{"Utf8MarkDetected", kUtf8Mark + kChinese, EncodingCode::Detect, kChinese,
                   EncodingCode::Utf8},
        DecodeCase{"Utf8MarkWithSetting", kUtf8Mark + kChinese, EncodingCode::Utf8, kChinese,
                   EncodingCode::Utf8},
        DecodeCase{"Utf8NoMarkWithSetting", kChinese, EncodingCode::Utf8, kChinese, EncodingCode::Utf8},
        // The setting "GBK" takes every byte as it is, the mark included.
        DecodeCase{"Utf8MarkReadAsGbkKeepsMark", kUtf8Mark + "abc", EncodingCode::Gbk,
                   text::gbkToUtf8(kUtf8Mark + "abc"), EncodingCode::Gbk},
        DecodeCase{"Utf16LeMarkDetected", kLeMark + enc(kChinese, Charset::Utf16Le), EncodingCode::Detect,
                   kChinese, EncodingCode::Utf16Le},
        DecodeCase{"Utf16BeMarkDetected", kBeMark + enc(kChinese, Charset::Utf16Be), EncodingCode::Detect,
                   kChinese, EncodingCode::Utf16Be},
        DecodeCase{"Utf16LeMarkWithSetting", kLeMark + enc(kChinese, Charset::Utf16Le), EncodingCode::Utf16Le,
                   kChinese, EncodingCode::Utf16Le},
        // "Unicode" drops the first two bytes whatever they are.
        DecodeCase{"Utf16LeSettingDropsTwoBytes", "XY" + enc(kChinese, Charset::Utf16Le),
                   EncodingCode::Utf16Le, kChinese, EncodingCode::Utf16Le},
        DecodeCase{"Utf16BeSettingDropsTwoBytes", "XY" + enc(kChinese, Charset::Utf16Be),
                   EncodingCode::Utf16Be, kChinese, EncodingCode::Utf16Be},
        DecodeCase{"GbkDetected", enc(kChinese, Charset::Gbk), EncodingCode::Detect, kChinese,
                   EncodingCode::Gbk},
        DecodeCase{"GbkWithSetting", enc(kChinese, Charset::Gbk), EncodingCode::Gbk, kChinese,
                   EncodingCode::Gbk},
        DecodeCase{"PureAsciiIsGbk", "plain ascii text", EncodingCode::Detect, "plain ascii text",
                   EncodingCode::Gbk},
        DecodeCase{"EmptyBlock", "", EncodingCode::Detect, "", EncodingCode::Gbk},
        DecodeCase{"FourByteUtf8IsUtf8", "\xE4\xB8\xAD\xF0\x9F\x98\x80", EncodingCode::Detect,
                   "\xE4\xB8\xAD\xF0\x9F\x98\x80", EncodingCode::Utf8},
        // The meta tag decides even for a page of ASCII only.
        DecodeCase{"MetaUtf8DoubleQuotedAnyCase", pageText("charset=\"Utf-8\"", "abc"), EncodingCode::Detect,
                   pageText("charset=\"Utf-8\"", "abc"), EncodingCode::Utf8},
        DecodeCase{
            "MetaUtf8InContentAttribute",
            page("http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"", kChinese, Charset::Utf8),
            EncodingCode::Detect,
            pageText("http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\"", kChinese),
            EncodingCode::Utf8},
        DecodeCase{"MetaBig5", page("charset=big5", kBig5Hk, Charset::Big5), EncodingCode::Detect,
                   pageText("charset=big5", kBig5Hk), EncodingCode::Big5},
        DecodeCase{"MetaBig5HkscsQuoted", page("charset='Big5-HKSCS'", kBig5Hk, Charset::Big5Hkscs),
                   EncodingCode::Detect, pageText("charset='Big5-HKSCS'", kBig5Hk), EncodingCode::Big5Hkscs},
        // Regression: the unquoted HKSCS name used to be taken for plain Big5.
        DecodeCase{"MetaBig5HkscsUnquoted", page("charset=Big5-HKSCS", kBig5Hk, Charset::Big5Hkscs),
                   EncodingCode::Detect, pageText("charset=Big5-HKSCS", kBig5Hk), EncodingCode::Big5Hkscs},
        // A page that claims UTF-8 but holds GBK bytes is read as GBK.
        DecodeCase{"MetaUtf8ButGbkBytes", page("charset=utf-8", kChinese, Charset::Gbk), EncodingCode::Detect,
                   pageText("charset=utf-8", kChinese), EncodingCode::Gbk},
        // Meta tags outside the head do not count.
        DecodeCase{"MetaOutsideHeadIgnored",
                   "<head><title>x</title></head><meta charset=big5>" + enc(kChinese, Charset::Gbk),
                   EncodingCode::Detect, "<head><title>x</title></head><meta charset=big5>" + kChinese,
                   EncodingCode::Gbk},
        // A declared encoding keeps the text readable around a broken byte.
        DecodeCase{"InvalidUtf8WithSettingIsLossy",
                   "ab\xFF"
                   "cd",
                   EncodingCode::Utf8,
                   "ab\xEF\xBF\xBD"
                   "cd",
                   EncodingCode::Utf8},
        DecodeCase{"InvalidUtf8DetectedFallsBackToGbk", "\xE4\xB8\xAD\xC0\x80", EncodingCode::Detect,
                   text::gbkToUtf8("\xE4\xB8\xAD\xC0\x80"), EncodingCode::Gbk},
        // A source holding nothing but its mark is empty.
        DecodeCase{"MarkOnlyIsEmpty", kUtf8Mark, EncodingCode::Detect, "", EncodingCode::Utf8},
        DecodeCase{"LeMarkOnlyIsEmpty", kLeMark, EncodingCode::Detect, "", EncodingCode::Utf16Le},
        DecodeCase{"GzipUtf8", gzipBytes(kUtf8Mark + kChinese), EncodingCode::Detect, kChinese,
                   EncodingCode::Utf8},
        DecodeCase{"GzipGbk", gzipBytes(enc(kChinese, Charset::Gbk)), EncodingCode::Detect, kChinese,
                   EncodingCode::Gbk},
        DecodeCase{"GzipSignatureThenGarbage", "\x1F\x8B\x01\x02garbage", EncodingCode::Detect, "",
                   EncodingCode::Gbk}),
    [](const ::testing::TestParamInfo<DecodeCase>& info) { return std::string(info.param.name); });

TEST(LoadText, OutOfRangeSettingReadsBytesAsGbk) {
    EXPECT_EQ(encodingCodeFromInt(9), EncodingCode::Gbk);
    EXPECT_EQ(encodingCodeFromInt(-1), EncodingCode::Gbk);
    EXPECT_EQ(encodingCodeFromInt(3), EncodingCode::Utf16Le);
    const LoadedText loaded = loadTextBytes(kUtf8Mark + kChinese, encodingCodeFromInt(7));
    EXPECT_EQ(loaded.detected, EncodingCode::Gbk);
}

// glibc's iconv passed code points above U+10FFFF through the lossy UTF-8 reading, so such an
// article reached the preview and the form as invalid bytes.
TEST(LoadText, DeclaredUtf8BeyondUnicodeBecomesReplacementCharacters) {
    const std::string fffd = "\xEF\xBF\xBD";
    const LoadedText declared = loadTextBytes("\x02\xF4\xBC\x8C\x8C", EncodingCode::Utf8);
    EXPECT_EQ(declared.text, "\x02" + fffd + fffd + fffd + fffd);
    const LoadedText marked = loadTextBytes(kUtf8Mark + "中\xF4\x90\x80\x80文", EncodingCode::Detect);
    EXPECT_EQ(marked.detected, EncodingCode::Utf8);
    EXPECT_EQ(marked.text, "中" + fffd + fffd + fffd + fffd + "文");
}

TEST(LoadText, OddUtf16LengthKeepsTheText) {
    const LoadedText loaded =
        loadTextBytes(kLeMark + enc("ab", Charset::Utf16Le) + "x", EncodingCode::Detect);
    EXPECT_EQ(loaded.detected, EncodingCode::Utf16Le);
    EXPECT_TRUE(loaded.text.starts_with("ab")) << loaded.text;
}

TEST(LoadText, CutOffGzipGivesWhatWasInflated) {
    std::string plain(100000, 'a');
    plain += "END";
    const std::string packed = gzipBytes(plain);
    const std::optional<std::string> partial = gunzip(packed.substr(0, packed.size() / 2));
    ASSERT_TRUE(partial.has_value());
    EXPECT_LT(partial->size(), plain.size());
    EXPECT_EQ(*partial, plain.substr(0, partial->size()));
    EXPECT_EQ(gunzip(packed).value(), plain);
}

TEST(LoadText, GzipBombBeyondTheLimitIsUnreadable) {
    const std::string packed = gzipBytes(std::string(1 << 20, '\0'));
    EXPECT_FALSE(gunzip(packed, (1 << 20) - 1).has_value());
    EXPECT_EQ(gunzip(packed, 1 << 20).value().size(), std::size_t{1} << 20);

    const std::string bomb = gzipBytes(std::string(kMaxTextBytes + 1, ' '));
    const LoadedText loaded = loadTextBytes(bomb, EncodingCode::Detect);
    EXPECT_TRUE(loaded.text.empty());
}

TEST(LoadText, LooksLikeUtf8) {
    EXPECT_FALSE(looksLikeUtf8("ascii only"));
    EXPECT_FALSE(looksLikeUtf8(""));
    EXPECT_TRUE(looksLikeUtf8("a\xC3\xA9"));
    EXPECT_TRUE(looksLikeUtf8("\xE4\xB8\xAD"));
    EXPECT_TRUE(looksLikeUtf8("\xF0\x9F\x98\x80"));
    EXPECT_FALSE(looksLikeUtf8("\xE4\xB8"));          // cut off by the end
    EXPECT_FALSE(looksLikeUtf8("\x80 lone"));         // continuation without a lead byte
    EXPECT_FALSE(looksLikeUtf8("\xD6\xD0\xCE\xC4"));  // GBK
    EXPECT_FALSE(looksLikeUtf8("\xF8\x88\x80\x80\x80"));
}

TEST(LoadText, MetaCharsetReadsOnlyMetaTags) {
    EXPECT_EQ(metaCharset("<title>charset=utf-8</title>"), EncodingCode::Detect);
    EXPECT_EQ(metaCharset("<meta name=a><meta charset=\"UTF-8\">"), EncodingCode::Utf8);
    EXPECT_EQ(metaCharset("<meta charset=gb2312>"), EncodingCode::Detect);
    EXPECT_EQ(metaCharset("<meta charset=utf-8"), EncodingCode::Detect);  // unterminated tag
    EXPECT_EQ(metaCharset("<HEAD><meta charset=big5></HEAD><meta charset=utf-8>"), EncodingCode::Big5);
}

class LoadTextFile : public ::testing::Test {
   protected:
    oz::test::TempFolder m_dir;
};

TEST_F(LoadTextFile, ReadsAReadOnlyFileWithoutChangingIt) {
    const auto path = m_dir.write("ro.txt", enc(kChinese, Charset::Utf16Le).insert(0, kLeMark));
    std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    const auto before = std::filesystem::last_write_time(path);
    const LoadedText loaded = loadTextFile(path, EncodingCode::Detect);
    EXPECT_EQ(loaded.text, kChinese);
    EXPECT_EQ(loaded.detected, EncodingCode::Utf16Le);
    EXPECT_EQ(std::filesystem::last_write_time(path), before);
}

TEST_F(LoadTextFile, UnreadableSourcesGiveEmptyText) {
    EXPECT_TRUE(loadTextFile(m_dir / "missing.txt", EncodingCode::Detect).text.empty());
    EXPECT_TRUE(loadTextFile(m_dir.path(), EncodingCode::Detect).text.empty());
    EXPECT_TRUE(loadTextFile(m_dir.write("empty.txt", ""), EncodingCode::Detect).text.empty());
    EXPECT_TRUE(loadTextFile({}, EncodingCode::Detect).text.empty());
}

// A file that gives no text says why, so the log does not call a huge or binary file missing.
TEST_F(LoadTextFile, FilesWithoutTextSayWhy) {
    const auto huge = m_dir.write("huge.txt", "");
    std::filesystem::resize_file(huge, kMaxTextBytes + 1);
    std::string late(kBinaryProbeBytes, 'a');
    late += '\0';
    struct Row {
        std::filesystem::path path;
        EncodingCode setting;
        LoadProblem problem;
    };
    const Row rows[] = {
        {m_dir / "missing.txt", EncodingCode::Detect, LoadProblem::Unreadable},
        {huge, EncodingCode::Detect, LoadProblem::TooLarge},
        {m_dir.write("image.txt", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16)), EncodingCode::Detect,
         LoadProblem::Binary},
        {m_dir.write("packed.txt.gz", gzipBytes(std::string("ab\0cd", 5))), EncodingCode::Gbk,
         LoadProblem::Binary},
        {m_dir.write("late.txt", late), EncodingCode::Detect, LoadProblem::None},
        {m_dir.write("le.txt", kLeMark + enc("ab", Charset::Utf16Le)), EncodingCode::Detect,
         LoadProblem::None},
        {m_dir.write("be.txt", enc("ab", Charset::Utf16Be)), EncodingCode::Utf16Be, LoadProblem::None},
    };
    for (const Row& row : rows) {
        const LoadedText loaded = loadTextFile(row.path, row.setting);
        EXPECT_EQ(loaded.problem, row.problem) << row.path;
        EXPECT_EQ(loaded.text.empty(), row.problem != LoadProblem::None) << row.path;
    }
}

TEST_F(LoadTextFile, GzipFileAndChineseName) {
    const auto path = m_dir.write("文章.txt.gz", gzipBytes(enc(kChinese, Charset::Gbk)));
    const LoadedText loaded = loadTextFile(path, EncodingCode::Detect);
    EXPECT_EQ(loaded.text, kChinese);
    EXPECT_EQ(loaded.detected, EncodingCode::Gbk);
}

}  // namespace
}  // namespace oz::content
