#include "content/insertion.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "text/characters.h"
#include "text/random.h"

namespace oz::content {
namespace {

struct PlacementCase {
    const char* text;
    int position;
    bool htmlAware;
    const char* expected;
};

class InsertAtPositionTest : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(InsertAtPositionTest, MovesOffWordsAndTags) {
    const PlacementCase& c = GetParam();
    EXPECT_EQ(insertAtCharPositions(c.text, {c.position}, {"KW"}, c.htmlAware), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, InsertAtPositionTest,
    ::testing::Values(
        // Inside the first of two English words: to the space between them, with a trailing space.
        PlacementCase{"<p>hello world</p>", 5, true, "<p>hello KW world</p>"},
        // Inside the paragraph's start tag: before the tag or after it, whichever is nearer.
        PlacementCase{"<p>hello world</p>", 1, true, "KW<p>hello world</p>"},
        // A letter of the tag name: step to the nearest space first (here the one between the words).
        PlacementCase{"<p>hello world</p>", 2, true, "<p>hello KW world</p>"},
        // Right after a tag's ">": outside the tag, no space added.
        PlacementCase{"<p>hello world</p>", 3, true, "<p>KWhello world</p>"},
        // The space between the two words: the word goes after it and keeps its trailing space.
        PlacementCase{"<p>hello world</p>", 9, true, "<p>hello KW world</p>"},
        // Inside the second word: the space before it is nearer than the end.
        PlacementCase{"<p>hello world</p>", 11, true, "<p>hello KW world</p>"},
        // Inside an end tag: before the "<" or after the ">", whichever is nearer; no space.
        PlacementCase{"<p>中文</p>", 7, true, "<p>中文KW</p>"},
        PlacementCase{"<p>中文</p>", 8, true, "<p>中文</p>KW"},
        // A letter inside a tag: first to the nearest space, then out of the tag.
        PlacementCase{"<a href=x>链接</a>", 2, true, "KW<a href=x>链接</a>"},
        PlacementCase{"<img src=abcdefgh alt=x >", 20, true, "<img src=abcdefgh alt=x >KW"},
        // Not html-aware: a tag is ordinary text.
        PlacementCase{"<p>中文</p>", 1, false, "<KWp>中文</p>"},
        // Chinese characters need no boundary and take no space.
        PlacementCase{"中文内容", 2, true, "中文KW内容"},
        // A word without spaces around: stays, with a trailing space.
        PlacementCase{"abc", 2, false, "abKW c"},
        // Equally near spaces: the one after.
        PlacementCase{"a bcd e", 4, false, "a bcd KW e"},
        // A ">" without an opening "<" is no tag.
        PlacementCase{"中>文", 1, true, "中KW>文"},
        // CR LF is one character: the word goes after the pair.
        PlacementCase{"中\r\n文", 2, true, "中\r\nKW文"},
        // Positions beyond the text are clamped to its last character.
        PlacementCase{"中文", 9, true, "中文KW"}));

TEST(InsertAtPositionsTest, EachWordKeepsTheSpacingOfItsOwnPosition) {
    // The first word drawn lands at a letter (trailing space), the second in a tag (none); sorted by
    // place, each keeps its own spacing.
    EXPECT_EQ(insertAtCharPositions("<b>x</b> hello world", {12, 1}, {"one", "two"}, true),
              "two<b>x</b> hello one world");
    // Equal positions give adjacent words in drawing order.
    EXPECT_EQ(insertAtCharPositions("中文", {1, 1}, {"A", "B"}, true), "中AB文");
    EXPECT_EQ(insertAtCharPositions("", {1}, {"A"}, true), "");
    EXPECT_EQ(insertAtCharPositions("中文", {}, {}, true), "中文");
}

// Whether any inserted word lies inside a tag of the result.
bool wordInsideTag(const std::string& html, const std::string& word) {
    for (std::size_t at = html.find(word); at != std::string::npos; at = html.find(word, at + 1)) {
        std::size_t open = html.rfind('<', at);
        std::size_t close = html.rfind('>', at);
        if (open != std::string::npos && (close == std::string::npos || close < open)) return true;
    }
    return false;
}

TEST(InsertAtRandomPositionsTest, HtmlAwareInsertionNeverLandsInsideATag) {
    const std::string html =
        "<div class=\"article\"><p style=\"color:red\">Some English text 和中文</p>"
        "<img src=\"a.jpg\" alt=\"picture\"><a href=\"http://example.com/x\">link text</a></div>";
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        text::seedRandom(seed);
        std::string out = insertAtRandomPositions(html, {"@K1@", "@K2@", "@K3@"}, true);
        ASSERT_FALSE(wordInsideTag(out, "@K")) << out;
        ASSERT_EQ(out.size(), html.size() + 12 +
                                  static_cast<std::size_t>(std::count(out.begin(), out.end(), ' ') -
                                                           std::count(html.begin(), html.end(), ' ')));
    }
}

TEST(InsertAtRandomPositionsTest, MoreWordsThanCharactersStillInsertsEveryWord) {
    text::seedRandom(3);
    std::string out = insertAtRandomPositions("中文", {"A", "A", "A", "A", "A"}, true);
    EXPECT_EQ(std::count(out.begin(), out.end(), 'A'), 5);
}

class InsertionsTest : public ::testing::Test {
   protected:
    void SetUp() override {
        text::seedRandom(11);
        m_draft.title = "标题";
        m_draft.body = "正文";
    }
    void build() { m_pools = buildSitePools(m_site, ListingMethod::Complete); }

    config::SiteConfig m_site;
    SitePools m_pools;
    ArticleDraft m_draft;
};

TEST_F(InsertionsTest, TailWithoutNewWordsRepeatsOneEntry) {
    m_site.tailKeywordInsert = true;
    m_site.tailKeywordList = "x";
    m_site.tailKeywordTimesMin = m_site.tailKeywordTimesMax = 3;
    build();
    insertTail(m_draft, m_site, m_pools);
    EXPECT_EQ(m_draft.body, "正文<br>x x x ");
}

TEST_F(InsertionsTest, TailWithNewWordsDrawsEachEntryOnce) {
    m_site.tailKeywordInsert = true;
    m_site.tailKeywordNewEachTime = true;
    m_site.tailKeywordList = "a\r\nb";
    m_site.tailKeywordTimesMin = m_site.tailKeywordTimesMax = 2;
    build();
    insertTail(m_draft, m_site, m_pools);
    EXPECT_TRUE(m_draft.body == "正文<br>a b " || m_draft.body == "正文<br>b a ") << m_draft.body;
}

TEST_F(InsertionsTest, BodyInsertionCountIsAtLeastOne) {
    m_site.bodyKeywordInsert = true;
    m_site.bodyKeywordList = "词";
    build();  // bounds 0 and 0
    insertBodyKeywords(m_draft, m_site, m_pools);
    EXPECT_TRUE(m_draft.body == "正词文" || m_draft.body == "正文词") << m_draft.body;
}

TEST_F(InsertionsTest, BodyInsertionWithNewWordsInsertsEachDrawnEntry) {
    m_site.bodyKeywordInsert = true;
    m_site.bodyKeywordNewEachTime = true;
    m_site.bodyKeywordList = "甲\r\n乙\r\n丙";
    m_site.bodyKeywordTimesMin = m_site.bodyKeywordTimesMax = 3;
    m_draft.body = "一二三四五六七八九十";
    build();
    insertBodyKeywords(m_draft, m_site, m_pools);
    for (const char* word : {"甲", "乙", "丙"}) EXPECT_NE(m_draft.body.find(word), std::string::npos);
    EXPECT_EQ(text::countChars(m_draft.body), 13);
}

TEST_F(InsertionsTest, SwitchedOnWithEmptyListsInsertsNothing) {
    m_site.bodyKeywordInsert = m_site.tailKeywordInsert = m_site.titleKeywordInsert = true;
    m_site.tailArticleBlocks = true;
    m_site.tailKeywordList = "/no/such/folder";
    m_site.titleKeywordPercent = 100;
    build();
    applyInsertions(m_draft, m_site, m_pools);
    EXPECT_EQ(m_draft.title, "标题");
    EXPECT_EQ(m_draft.body, "正文");
}

TEST_F(InsertionsTest, TitleInsertionByChanceAndPosition) {
    m_site.titleKeywordInsert = true;
    m_site.titleKeywordList = "词";
    m_site.titleKeywordPercent = 0;
    build();
    for (int i = 0; i < 50; ++i) insertTitleKeyword(m_draft, m_site, m_pools);
    EXPECT_EQ(m_draft.title, "标题");

    m_site.titleKeywordPercent = 100;
    insertTitleKeyword(m_draft, m_site, m_pools);
    EXPECT_EQ(m_draft.title, "词：标题");
    m_site.titleKeywordPosition = kAfterTitle;
    m_site.titleKeywordSeparator = "-";
    m_draft.title = "标题";
    insertTitleKeyword(m_draft, m_site, m_pools);
    EXPECT_EQ(m_draft.title, "标题-词");
    m_site.titleKeywordPosition = kRandomPosition;
    m_draft.title = "标题";
    insertTitleKeyword(m_draft, m_site, m_pools);
    EXPECT_TRUE(m_draft.title == "标词题" || m_draft.title == "标题词") << m_draft.title;
}

TEST_F(InsertionsTest, AppliedInOrderBodyTailTitle) {
    m_site.bodyKeywordInsert = m_site.tailKeywordInsert = m_site.titleKeywordInsert = true;
    m_site.bodyKeywordList = "B";
    m_site.tailKeywordList = "T";
    m_site.titleKeywordList = "H";
    m_site.titleKeywordPercent = 100;
    m_draft.body = "中";
    build();
    applyInsertions(m_draft, m_site, m_pools);
    // The tail comes after the body insertion, so the body word is never inside the tail.
    EXPECT_EQ(m_draft.body, "中B<br>T ");
    EXPECT_EQ(m_draft.title, "H：标题");
}

}  // namespace
}  // namespace oz::content
