#include "text/characters.h"

#include <gtest/gtest.h>

namespace oz::text {
namespace {

TEST(Characters, CountsCodePointsWithCrLfAsOne) {
    EXPECT_EQ(countChars("a\r\n中"), 3);
    EXPECT_EQ(countChars("\n"), 1);
    EXPECT_EQ(countChars("\r\r\n\n"), 3);
    EXPECT_EQ(countChars(""), 0);
    EXPECT_EQ(countChars("\xF0\x9F\x98\x80x"), 2);
    EXPECT_EQ(countChars("a\xFF\xC3"), 3);  // stray bytes count one each
}

struct CutCase {
    const char* text;
    int start;
    int n;
    const char* mid;
};

class MidChars : public ::testing::TestWithParam<CutCase> {};

TEST_P(MidChars, CutsWholeCharacters) {
    const CutCase& c = GetParam();
    EXPECT_EQ(midChars(c.text, c.start, c.n), c.mid);
}

INSTANTIATE_TEST_SUITE_P(Cases, MidChars,
                         ::testing::Values(CutCase{"ab中cd", 3, 2, "中c"}, CutCase{"ab中cd", 4, 9, "cd"},
                                           CutCase{"ab中cd", 6, 1, ""}, CutCase{"ab中cd", 0, 1, "a"},
                                           CutCase{"ab中cd", 2, 0, ""}, CutCase{"a\r\nb", 2, 1, "\r\n"},
                                           CutCase{"x\xF0\x9F\x98\x80y", 2, 1, "\xF0\x9F\x98\x80"}));

TEST(Characters, LeftAndRightNeverSplitASequenceOrCrLf) {
    EXPECT_EQ(leftChars("中文字", 2), "中文");
    EXPECT_EQ(leftChars("中文", 5), "中文");
    EXPECT_EQ(leftChars("中文", 0), "");
    EXPECT_EQ(leftChars("中文字", -1), "中文");
    EXPECT_EQ(leftChars("中文", -5), "");
    EXPECT_EQ(leftChars("a\r\nb", 2), "a\r\n");
    EXPECT_EQ(rightChars("a\r\nb", 2), "\r\nb");
    EXPECT_EQ(rightChars("中文字", -1), "文字");
    EXPECT_EQ(rightChars("中文", 7), "中文");
}

TEST(Characters, FindsByCharacterPositionIgnoringAsciiCase) {
    EXPECT_EQ(findForward("中文ABC abc", "abc"), 3);
    EXPECT_EQ(findForward("中文ABC abc", "abc", 4), 7);
    EXPECT_EQ(findForward("中文ABC abc", "abc", -3), 7);
    EXPECT_EQ(findForward("中文ABC", "x"), kNotFound);
    EXPECT_EQ(findForward("中文ABC", ""), kNotFound);
    EXPECT_EQ(findForward("abc", "a", 9), kNotFound);
    EXPECT_EQ(findForward("a\r\nb", "b"), 3);
    EXPECT_EQ(findBackward("中文ABC abc", "ABC"), 7);
    EXPECT_EQ(findBackward("中文ABC abc", "ABC", 6), 3);
    EXPECT_EQ(findBackward("中文ABC abc", "ABC", 2), kNotFound);
    EXPECT_EQ(findBackward("中中", "中", 1), 1);
}

TEST(Characters, InRangesTakesPairsAndSingleValues) {
    EXPECT_TRUE(inRanges("97", "97,122;32"));
    EXPECT_TRUE(inRanges("122", "97,122;32"));
    EXPECT_TRUE(inRanges("32", "97,122;32"));
    EXPECT_FALSE(inRanges("96", "97,122;32"));
    EXPECT_FALSE(inRanges("x", "97,122;32"));
    EXPECT_FALSE(inRanges("", "97,122;;32"));
}

TEST(Characters, TrimBlanksKeepsTabsAndLineBreaks) {
    EXPECT_EQ(trimBlanks("\u3000 文字\t"), "文字\t");
    EXPECT_EQ(trimBlanks("  a b \u3000\u3000"), "a b");
    EXPECT_EQ(trimBlanks("\r\n x"), "\r\n x");
    EXPECT_EQ(trimBlanks("\u3000 "), "");
}

TEST(Characters, WithoutControlCharactersMakesOneCleanLine) {
    using namespace std::string_literals;
    EXPECT_EQ(withoutControlCharacters("标\0题\r\n二\t三\n四\x1B\x7F\u0085五"s), "标题 二 三 四五");
    EXPECT_EQ(withoutControlCharacters("plain text"), "plain text");
    // A C1 control must not form of the bytes around a removed control.
    EXPECT_EQ(withoutControlCharacters("a\xC2\x11\x9F"), "a\uFFFD\uFFFD");
}

TEST(Characters, CodePointsRoundTripAndInvalidBytesDecodeAsReplacement) {
    std::size_t length = 0;
    EXPECT_EQ(codePointAt("中", 0, &length), U'中');
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(codePointAt("\xE4\xB8", 0, &length), U'\uFFFD');  // truncated sequence
    EXPECT_EQ(length, 1u);
    EXPECT_EQ(codePointAt("\xED\xA0\x80", 0), U'\uFFFD');  // encoded surrogate
    EXPECT_EQ(fromCodePoint(0x1F600), "\xF0\x9F\x98\x80");
    EXPECT_EQ(fromCodePoint(0xD800), "\uFFFD");
    EXPECT_EQ(charStarts("a中\r\nb"), (std::vector<std::size_t>{0, 1, 4, 6}));
}

}  // namespace
}  // namespace oz::text
