#include "text/markers.h"

#include <gtest/gtest.h>

namespace oz::text {
namespace {

TEST(TextBetween, ForwardModeIgnoresCaseAndCarriesThePosition) {
    const std::string answer = "<A HREF='1'>x</a><a href='2'>y</a>";
    MarkerPosition position;
    EXPECT_EQ(textBetween(answer, "href='", "'", position), "1");
    EXPECT_EQ(textBetween(answer, "href='", "'", position), "2");
    EXPECT_EQ(textBetween(answer, "href='", "'", position), "");
    EXPECT_FALSE(position.exhausted);  // a position that moved is never exhausted
    EXPECT_EQ(textBetween("[#12#]标题", "[#", "#]"), "12");
    EXPECT_EQ(textBetween("[#12#]标题", "#]", ""), "标题");
    EXPECT_EQ(textBetween("abc", "", "c"), "ab");
    EXPECT_EQ(textBetween("ab", "a", "b"), "");
}

TEST(TextBetween, NearestBeforeEndTakesTheCloserStartMarker) {
    const std::string answer = "<a href='one'>1</a> <a href='two'><u>查看文章</u></a>";
    EXPECT_EQ(textBetween(answer, "<a", "<u>查看文章</u>", true), " href='two'>");
    EXPECT_EQ(textBetween(answer, "<a", "<u>查看文章</u>", false), " href='one'>1</a> <a href='two'>");
    EXPECT_EQ(textBetween("x/7.xml", "/", ".xml", true), "7");
    EXPECT_EQ(textBetween("ab", "ab", "b", true), "");  // the start marker must end before the end marker
}

TEST(TextBetween, QuotePairsBecomeDoubleQuotesThenQuotesAreDropped) {
    EXPECT_EQ(textBetween(R"(<a href="u.html">)", "href=''", "''"), "u.html");
    EXPECT_EQ(textBetween("<a href=u.html>", "href=''", ">"), "u.html");
    EXPECT_EQ(quotePairsToDoubleQuote("document.write('''')"), "document.write(\"\")");
}

TEST(TextBetween, NothingFoundAtTheStartExhaustsThePosition) {
    MarkerPosition position;
    EXPECT_EQ(textBetween("abc", "x", "y", position), "");
    EXPECT_TRUE(position.exhausted);
    EXPECT_EQ(textBetween("abc", "a", "c", position), "");
}

TEST(ElementContent, FindsTheFirstElementAndItsMatchingEnd) {
    EXPECT_EQ(elementContent("<HTML><Body class='x'>a<body>b</body>c</BODY>tail", "body"),
              "a<body>b</body>c");
    EXPECT_EQ(elementContent("<bodyx>no</bodyx><body>yes</body>", "BODY"), "yes");
    EXPECT_EQ(elementContent("<body>open to the end", "body"), "open to the end");
    EXPECT_EQ(elementContent("no element", "body"), "");
    EXPECT_EQ(elementContent("<body", "body"), "");
}

TEST(ListHelpers, AlternativesAndPieces) {
    EXPECT_TRUE(containsAlternatives("成功创建栏目：a", "完成所有栏目列表更新[fg]成功创建栏目", true));
    EXPECT_FALSE(containsAlternatives("成功创建栏目：a", "完成所有栏目列表更新[fg]成功创建栏目", false));
    EXPECT_TRUE(containsAlternatives("ABC xyz", "abc[fg]XYZ", false));
    EXPECT_FALSE(containsAlternatives("anything", "", true));
    EXPECT_FALSE(containsAlternatives("anything", "[fg]", false));
    EXPECT_TRUE(containsAllPieces("<IMG src='a.PNG'>", "<img |.png"));
    EXPECT_FALSE(containsAllPieces("<img src='a.gif'>", "<img |.png"));
    EXPECT_TRUE(containsAllPieces("x", "|x|"));
}

TEST(ListHelpers, ReplaceEachItemByItem) {
    EXPECT_EQ(replaceEach("ab", "a|b", "x", true, true), "xx");
    EXPECT_EQ(replaceEach("ab", "a|b", "x", true, false), "x");
    EXPECT_EQ(replaceEach("aAb", "a", "-", true), "-Ab");
    EXPECT_EQ(replaceEach("aAb", "a", "-", false), "--b");
    EXPECT_EQ(replaceEach("a&amp;lt;", "&amp;|&lt;", "&|<"), "a<");  // later items see earlier results
    EXPECT_EQ(replaceEach(R"(charset="UTF-8")", R"(charset="UTF-8"|charset=UTF-8)", R"(charset="gbk")", false,
                          true),
              R"(charset="gbk")");
    EXPECT_EQ(replaceEach("abc", "|b", "1|2"), "a2c");
}

TEST(SplitLines, CrLfAndLoneLfEndLinesAndNoEmptyLastLine) {
    using Lines = std::vector<std::string_view>;
    EXPECT_EQ(splitLines(""), Lines{});
    EXPECT_EQ(splitLines("a\r\nb\nc"), (Lines{"a", "b", "c"}));
    EXPECT_EQ(splitLines("a\r\n"), Lines{"a"});
    EXPECT_EQ(splitLines("\r\n\nx"), (Lines{"", "", "x"}));
    EXPECT_EQ(splitLines("a\rb\r"), Lines{"a\rb\r"});  // a CR only counts before an LF
}

}  // namespace
}  // namespace oz::text
