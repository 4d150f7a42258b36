#include "text/cleaning.h"

#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <string>
#include <vector>

#include "text/characters.h"

namespace oz::text {
namespace {

TEST(StripTags, RemovesTagsBreaksParagraphsAndDecodes) {
    EXPECT_EQ(stripTags("<p>一</p><br />二 &amp;lt;b&gt;"), "\r\n一\r\n\r\n二 <b>");
    EXPECT_EQ(stripTags("<P class=x>a</P>", {.breakBeforeBlocks = false}), "a");
    EXPECT_EQ(stripTags("a <> b < c"), "a <> b < c");  // "<" needs a character before ">"
    EXPECT_EQ(stripTags("<img Width>x", {.breakBeforeBlocks = false}), "<img Width＞x");
    EXPECT_EQ(stripTags("<b>x</b><a href='u'>link</a>", {.removeLinks = true}), "x");
}

struct EntityCase {
    const char* in;
    const char* out;
};

class DecodeEntities : public ::testing::TestWithParam<EntityCase> {};

TEST_P(DecodeEntities, Decodes) { EXPECT_EQ(decodeEntities(GetParam().in), GetParam().out); }

INSTANTIATE_TEST_SUITE_P(Cases, DecodeEntities,
                         ::testing::Values(EntityCase{"&#20013;&#x4E2D;&#X4e2d;", "中中中"},
                                           EntityCase{"a&nbsp;b&hellip;", "a b…"},
                                           EntityCase{"&amp;lt;", "<"}, EntityCase{"&Prime;&prime;", "″′"},
                                           EntityCase{"&#zz;&#;&#0;&#1114112;", "&#zz;&#;&#0;&#1114112;"},
                                           EntityCase{"x &# y", "x &# y"}, EntityCase{"&#&#65;", "&#A"},
                                           EntityCase{"&#65 and &#66;", "&#65 and B"},
                                           EntityCase{"&#55296;", "&#55296;"}));

// A "&#" without a later ";" must end the scan, however many there are.
TEST(DecodeEntities, ManyUnterminatedReferencesStayLinear) {
    std::string text;
    for (int i = 0; i < 2'000'000; ++i) text += "&#1";
    const auto began = std::chrono::steady_clock::now();
    EXPECT_EQ(decodeEntities(text), text);
    EXPECT_EQ(decodeEntities(text + ";").size(), text.size() - 2);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));
}

TEST(Cleaning, RemoveUrlsStopsAtChineseSpaceQuoteOrBracket) {
    EXPECT_EQ(removeUrls("看www.example.com/a?b=1中文"), "看中文");
    EXPECT_EQ(removeUrls("see https://x.org/p end"), "see  end");
    EXPECT_EQ(removeUrls("<a href=\"http://x.cn\">t</a>"), "<a href=\"\">t</a>");
    EXPECT_EQ(removeUrls("看WWW.Example.com中"), "看中");  // the pattern ignores case, so must its shortcut
    EXPECT_EQ(removeUrls("没有地址 ftp:/x"), "没有地址 ftp:/x");
}

TEST(Cleaning, WhitespaceAndWordCharacters) {
    EXPECT_EQ(removeWhitespace(" a\tb\r\n\u3000c\v"), "abc");
    EXPECT_EQ(keepWordChars("中文标题"), "");
    EXPECT_EQ(keepWordChars("Ab_1-2,3.x!@中"), "Ab_1-2,3.x");
}

// The summary cuts its first n characters from a result computed only to 4n + 4 bytes; white
// space removed between the halves of a broken sequence must not change those characters.
TEST(Cleaning, WhitespaceRemovalWithALimitGivesTheStartOfTheWholeResult) {
    EXPECT_EQ(removeWhitespace("a b c d", 2), "ab");
    EXPECT_EQ(removeWhitespace("  ", 1), "");
    const std::vector<std::string> pieces = {"中",   " ",        "\u3000", "\r\n", "a",
                                             "\xE4", "\xB8\xAD", "\xFF",   "😀"};
    std::mt19937 random(11);
    for (int round = 0; round < 300; ++round) {
        std::string text;
        for (int i = 0; i < 40; ++i) text += pieces[random() % pieces.size()];
        const int n = 1 + static_cast<int>(random() % 12);
        const std::string whole = removeWhitespace(text);
        const std::string start = removeWhitespace(text, static_cast<std::size_t>(n) * 4 + 4);
        ASSERT_TRUE(whole.starts_with(start)) << round;
        ASSERT_EQ(leftChars(start, n), leftChars(whole, n)) << round;
    }
}

TEST(Cleaning, ScanStripTagsKeepsUnmatchedBrackets) {
    EXPECT_EQ(scanStripTags("a<b>c<>d"), "acd");
    EXPECT_EQ(scanStripTags("a > b <i>c< d"), "a > b c< d");
    EXPECT_EQ(scanStripTags("<a <b>x"), "x");
}

TEST(Cleaning, StripEntitiesRemovesNamedOnesWithAmpLast) {
    EXPECT_EQ(stripEntities("a&nbsp;b&lt;c&amp;d&#20013;"), "abcd&#20013;");
    EXPECT_EQ(stripEntities("&amp;lt;"), "lt;");
}

TEST(Cleaning, SummaryPipelineOnALargeArticleFinishes) {
    std::string html;
    while (html.size() < 50u * 1024 * 1024) html += "<p>文字 www.a.com/x 段落&amp;&#20013;</p>\r\n";
    const auto began = std::chrono::steady_clock::now();
    const std::string plain = removeWhitespace(removeUrls(stripTags(html)));
    EXPECT_TRUE(plain.starts_with("文字段落&中文字段落&中"));
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(60));
}

}  // namespace
}  // namespace oz::text
