#include "text/charset.h"

#include <gtest/gtest.h>

namespace oz::text {
namespace {

TEST(Charset, GbkRoundTripKeepsEveryByte) {
    const std::string utf8 = "站群更新 ABC ┊*┊ 真假";
    auto gbk = encode(utf8, Charset::Gbk);
    ASSERT_TRUE(gbk.has_value());
    EXPECT_EQ(gbk->substr(0, 2), "\xD5\xBE");  // 站
    EXPECT_EQ(decode(*gbk, Charset::Gbk), utf8);
}

TEST(Charset, CharactersOutsideGbkSurviveAsGb18030) {
    const std::string utf8 = "emoji \xF0\x9F\x98\x80";
    EXPECT_EQ(gbkToUtf8(utf8ToGbk(utf8)), utf8);
}

TEST(Charset, InvalidInputIsAResultNotACrash) {
    const std::string broken = "ab\x81";  // a GBK lead byte with nothing after it
    EXPECT_FALSE(decode(broken, Charset::Gbk).has_value());
    EXPECT_EQ(decodeLossy(broken, Charset::Gbk), "ab\xEF\xBF\xBD");
    EXPECT_FALSE(decode("\xC3\x28", Charset::Utf8).has_value());
    EXPECT_EQ(decodeLossy("a\xFFz", Charset::Utf8), "a\xEF\xBF\xBDz");
}

// glibc's iconv takes UTF-8 lead bytes F4 (with a second byte of 90 or more) to F7 for code points
// past U+10FFFF; the lossy reading once passed them on unchanged.
TEST(Charset, LossyUtf8ReplacesEveryByteBeyondUnicode) {
    const std::string fffd = "\xEF\xBF\xBD";
    EXPECT_EQ(decodeLossy("a\xF4\x90\x80\x80z", Charset::Utf8), "a" + fffd + fffd + fffd + fffd + "z");
    EXPECT_EQ(decodeLossy("\xF7\xBF\xBF\xBF", Charset::Utf8Bmp), fffd + fffd + fffd + fffd);
    EXPECT_EQ(decodeLossy("\xE4\xB8", Charset::Utf8), fffd + fffd);
    EXPECT_EQ(decodeLossy("\xF4\x8F\xBF\xBF \xF0\x9F\x98\x80", Charset::Utf8), "\U0010FFFF \U0001F600");
}

// BIG5-HKSCS holds Ê and ê back to see whether a combining mark follows; without a final flush
// they were dropped at the end of the text and before an unencodable character.
TEST(Charset, Big5HkscsKeepsATrailingCircumflexE) {
    for (const std::string text : {"AÊ", "ê", "Êx"}) {
        std::string out;
        EXPECT_EQ(encodePrefix(text, Charset::Big5Hkscs, out), text.size()) << text;
        EXPECT_EQ(decode(out, Charset::Big5Hkscs), text);
    }
    std::string out;
    EXPECT_EQ(encodePrefix("Ê\U0001F600", Charset::Big5Hkscs, out), 2u);
    EXPECT_EQ(decode(out, Charset::Big5Hkscs), "Ê");
    EXPECT_EQ(decode(encodeLossy("ê\U0001F600", Charset::Big5Hkscs), Charset::Big5Hkscs), "ê?");
}

TEST(Charset, UnencodableCharacterBecomesQuestionMark) {
    EXPECT_FALSE(encode("\xF0\x9F\x98\x80", Charset::Big5).has_value());
    EXPECT_EQ(encodeLossy("a\xF0\x9F\x98\x80z", Charset::Big5), "a?z");
}

// What a back end's tables hold: GBK without GB18030's four-byte forms and without the lone 0x80
// that some converters write for the euro sign; UTF-8 without four-byte forms.
TEST(Charset, SiteCharsetsHoldOnlyWhatTheDatabaseStores) {
    struct Row {
        const char* utf8;
        Charset charset;
        bool held;
    };
    const Row rows[] = {
        {"中文 abc ·", Charset::SiteGbk, true},  {"\u2022", Charset::SiteGbk, false},
        {"\u00A0", Charset::SiteGbk, false},     {"\u20AC", Charset::SiteGbk, false},
        {"\U0001F600", Charset::SiteGbk, false}, {"中文 \u2022 \u20AC", Charset::Utf8Bmp, true},
        {"\U0001F600", Charset::Utf8Bmp, false}, {"\U00020000", Charset::Utf8Bmp, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(encode(row.utf8, row.charset).has_value(), row.held) << row.utf8;
    }
    EXPECT_FALSE(decode("\x80", Charset::SiteGbk).has_value());
    EXPECT_FALSE(decode("\x81\x36\xA6\x31", Charset::SiteGbk).has_value());  // GB18030's bullet
    EXPECT_EQ(decode("\xD6\xD0\xA1\xA4", Charset::SiteGbk), "中·");
    EXPECT_EQ(encodeWith("a\u2022b\u20ACc", Charset::SiteGbk, characterReference), "a&#8226;b&#8364;c");
    EXPECT_EQ(encodeWith("\U0001F600!", Charset::Utf8Bmp, characterReference), "&#128512;!");
}

TEST(Charset, Utf16BothOrders) {
    EXPECT_EQ(decode(std::string("A\0\x2D\x4E", 4), Charset::Utf16Le), "A中");
    EXPECT_EQ(decode(std::string("\0A\x4E\x2D", 4), Charset::Utf16Be), "A中");
    EXPECT_EQ(encode("中", Charset::Utf16Be), std::string("\x4E\x2D", 2));
}

TEST(Charset, Big5AndHkscs) {
    EXPECT_EQ(decode("\xA4\xA4\xA4\xE5", Charset::Big5), "中文");
    EXPECT_EQ(decode("\xA4\xA4\xA4\xE5", Charset::Big5Hkscs), "中文");
}

TEST(Charset, Utf8Validation) {
    EXPECT_TRUE(isValidUtf8("plain 中文 \xF0\x9F\x98\x80"));
    EXPECT_FALSE(isValidUtf8("\xC0\xAF"));      // overlong
    EXPECT_FALSE(isValidUtf8("\xED\xA0\x80"));  // surrogate
    EXPECT_FALSE(isValidUtf8("\xE4\xB8"));      // cut short
}

}  // namespace
}  // namespace oz::text
