#include "content/compose.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "content/insertion.h"
#include "tests/support/temp_folder.h"
#include "text/charset.h"
#include "text/random.h"

namespace oz::content {
namespace {

using oz::test::TempFolder;

// A site whose list fields are all "留空内容", so each test switches on only what it looks at.
config::SiteConfig quietSite() {
    config::SiteConfig site;
    site.keywordMethod = kLeaveEmpty;
    site.tagMethod = kLeaveEmpty;
    site.shortTitleMethod = kLeaveEmpty;
    return site;
}

class ComposeTest : public ::testing::Test {
   protected:
    void SetUp() override { text::seedRandom(7); }

    ArticleDraft composeWith(const config::SiteConfig& site, std::string_view path, std::string text) {
        m_pools = buildSitePools(site, ListingMethod::Complete);
        std::optional<ArticleDraft> draft = composeText(site, m_pools, path, std::move(text), m_segmenter);
        EXPECT_TRUE(draft.has_value());
        return draft.value_or(ArticleDraft{});
    }

    WordSegmenter m_segmenter{" 标题词 正文词 中国 人民 天气 学习 工作 生活 "};
    SitePools m_pools;
};

TEST_F(ComposeTest, CategoryPrefixOfTheFileName) {
    // [#2#]我是谁.txt with an empty category list: the title loses the prefix, typeid 2, and a
    // field in mode 2 holds the title as it was before the prefix was removed.
    config::SiteConfig site = quietSite();
    site.keywordMethod = kUseTitle;
    ArticleDraft draft = composeWith(site, "/articles/[#2#]我是谁.txt", "正文");
    EXPECT_EQ(draft.title, "我是谁");
    EXPECT_EQ(draft.typeId, 2);
    EXPECT_EQ(draft.keywords, "[#2#]我是谁");
    EXPECT_EQ(draft.body, "正文");
}

struct PrefixCase {
    const char* title;
    bool found;
    int typeId;
    const char* rest;
};

class CategoryPrefixTest : public ::testing::TestWithParam<PrefixCase> {};

TEST_P(CategoryPrefixTest, SplitsIdAndTitle) {
    std::optional<CategoryPrefix> prefix = splitCategoryPrefix(GetParam().title);
    ASSERT_EQ(prefix.has_value(), GetParam().found);
    if (!prefix) return;
    EXPECT_EQ(prefix->typeId, GetParam().typeId);
    EXPECT_EQ(prefix->title, GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(
    Titles, CategoryPrefixTest,
    ::testing::Values(PrefixCase{"[#12#]标题", true, 12, "标题"},
                      PrefixCase{"前文[#3#]标题", true, 3, "标题"},  // text before goes too
                      PrefixCase{"[#abc#]标题", true, 0, "标题"},    // not a number: 0
                      PrefixCase{"[##]标题", false, 0, ""}, PrefixCase{"[#5 标题", false, 0, ""},
                      PrefixCase{"a#]b[#4#]c", true, 4, "c"}, PrefixCase{"标题", false, 0, ""}));

TEST_F(ComposeTest, CategoryListIsDrawnWithoutRepeatWhenThereIsNoPrefix) {
    config::SiteConfig site = quietSite();
    site.categoryIds = "7,8";
    SitePools pools = buildSitePools(site, ListingMethod::Complete);
    std::multiset<int> ids;
    for (int i = 0; i < 4; ++i) ids.insert(composeText(site, pools, "a.txt", "x", m_segmenter)->typeId);
    EXPECT_EQ(ids, (std::multiset<int>{7, 7, 8, 8}));
    EXPECT_EQ(composeWith(quietSite(), "a.txt", "x").typeId, 0);
}

TEST_F(ComposeTest, FirstLineTitleSkipsEmptyAndTagOnlyLines) {
    config::SiteConfig site = quietSite();
    site.firstLineTitle = true;
    ArticleDraft draft =
        composeWith(site, "file.txt", "\r\n<p></p>\r\n  <b>真正的标题</b>　\r\n正文一\r\n正文二");
    EXPECT_EQ(draft.title, "真正的标题");
    EXPECT_EQ(draft.body, "正文一\r\n正文二");
}

TEST_F(ComposeTest, FirstLineTitleMayCarryTheCategoryPrefix) {
    config::SiteConfig site = quietSite();
    site.firstLineTitle = true;
    site.shortTitleMethod = kUseTitle;
    ArticleDraft draft = composeWith(site, "file.txt", "[#9#]首行\n正文");
    EXPECT_EQ(draft.title, "首行");
    EXPECT_EQ(draft.typeId, 9);
    EXPECT_EQ(draft.shorttitle, "[#9#]首行");
    EXPECT_EQ(draft.body, "正文");
}

TEST_F(ComposeTest, FirstLineModeTakesTheLineWithoutChangingTheTitle) {
    config::SiteConfig site = quietSite();
    site.tagMethod = kFirstLine;
    ArticleDraft draft = composeWith(site, "名字.txt", "第一行\r\n第二行");
    EXPECT_EQ(draft.title, "名字");
    EXPECT_EQ(draft.tags, "第一行");
    EXPECT_EQ(draft.body, "第二行");
}

TEST_F(ComposeTest, ParagraphsAreWrappedAfterTheFirstLineIsTaken) {
    config::SiteConfig site = quietSite();
    site.firstLineTitle = true;
    site.paragraphTags = true;
    ArticleDraft draft = composeWith(site, "f.txt", "标题\r\n甲\r\n\r\n 乙\n");
    EXPECT_EQ(draft.body, "<p>甲</p>\r\n<p> 乙</p>\r\n");
}

TEST_F(ComposeTest, AutoSegmentationReadsBodyThenTitle) {
    config::SiteConfig site = quietSite();
    site.keywordMethod = kAutoSegment;
    site.keywordCountMin = 0;
    site.keywordCountMax = 0;  // fewer than 1: five words
    ArticleDraft draft = composeWith(site, "标题词标题词.txt", "正文词中国人民天气学习工作生活");
    EXPECT_EQ(draft.keywords, "标题词,正文词,中国,人民,天气");
    site.keywordCountMin = site.keywordCountMax = 2;
    EXPECT_EQ(composeWith(site, "标题词标题词.txt", "正文词").keywords, "标题词,正文词");
}

TEST_F(ComposeTest, RandomPhrasesRepeatOnlyAfterEveryEntryWasDrawn) {
    config::SiteConfig site = quietSite();
    site.keywordMethod = kRandomPhrases;
    site.keywordList = "甲\r\n乙";
    site.keywordCountMin = site.keywordCountMax = 3;
    for (std::uint64_t seed = 1; seed <= 10; ++seed) {
        text::seedRandom(seed);
        std::string keywords = composeWith(site, "a.txt", "x").keywords;
        ASSERT_TRUE(keywords.starts_with("甲,乙,") || keywords.starts_with("乙,甲,")) << keywords;
        EXPECT_EQ(std::count(keywords.begin(), keywords.end(), ','), 2);
    }
}

struct ModeCase {
    int mode;
    const char* list;
    int lo, hi;
    const char* expected;
};

class ListModeTest : public ComposeTest, public ::testing::WithParamInterface<ModeCase> {};

TEST_P(ListModeTest, FieldByMode) {
    config::SiteConfig site = quietSite();
    site.tagMethod = GetParam().mode;
    site.tagList = GetParam().list;
    site.tagCountMin = GetParam().lo;
    site.tagCountMax = GetParam().hi;
    EXPECT_EQ(composeWith(site, "题目.txt", "首行\r\n正文").tags, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Modes, ListModeTest,
                         ::testing::Values(ModeCase{kRandomPhrases, "", 2, 5, ""},    // empty list
                                           ModeCase{kRandomPhrases, "甲", 0, 0, ""},  // n = 0
                                           ModeCase{kRandomPhrases, "甲\r\n\r\n", 2, 2, "甲,甲"},
                                           ModeCase{kUseTitle, "甲", 1, 1, "题目"},
                                           ModeCase{kLeaveEmpty, "甲", 1, 1, ""},
                                           ModeCase{kFirstLine, "甲", 1, 1, "首行"},
                                           ModeCase{9, "甲", 1, 1, ""}));

TEST_F(ComposeTest, WriterFromTheListOrTheDefaultAuthor) {
    config::SiteConfig site = quietSite();
    EXPECT_EQ(composeWith(site, "a.txt", "x").writer, config::initialSiteConfig().user);
    site.authorList = "张三\r\n";
    EXPECT_EQ(composeWith(site, "a.txt", "x").writer, "张三");
}

TEST_F(ComposeTest, FileNameRules) {
    config::SiteConfig site = quietSite();
    site.fileNameRule = kTitleInitials;
    // The initials of the title after the prefix is removed, reduced to word characters.
    EXPECT_EQ(composeWith(site, "[#2#]中国 Abc-1!.txt", "x").filename, "zgAbc-1");
    site.fileNameRule = kDefaultName;
    EXPECT_EQ(composeWith(site, "中国.txt", "x").filename, "");
    site.fileNameRule = kRandomLetters;
    site.letterCountMin = site.letterCountMax = 0;
    std::string letters = composeWith(site, "中国.txt", "x").filename;
    EXPECT_EQ(letters.size(), 8u);
    EXPECT_TRUE(std::all_of(letters.begin(), letters.end(), [](char c) { return std::isalpha(c); }));
    site.letterCountMin = 5;
    site.letterCountMax = 3;
    std::size_t size = composeWith(site, "中国.txt", "x").filename.size();
    EXPECT_TRUE(size >= 3 && size <= 5) << size;
}

TEST(ComposeStepsTest, BodyElement) {
    EXPECT_EQ(bodyElement("<html><head><title>t</title></head><BODY class=x>内容</BODY></html>"), "内容");
    EXPECT_EQ(bodyElement("纯文本 <b>粗</b>"), "纯文本 <b>粗</b>");
    EXPECT_EQ(bodyElement("<bodyguard>不是</bodyguard>"), "<bodyguard>不是</bodyguard>");
    EXPECT_EQ(bodyElement("<html><body></body></html>"), "");
}

struct FirstLineCase {
    const char* body;
    const char* line;
    const char* rest;
};

class TakeFirstLineTest : public ::testing::TestWithParam<FirstLineCase> {};

TEST_P(TakeFirstLineTest, FirstLineWithText) {
    std::string body = GetParam().body;
    EXPECT_EQ(takeFirstLine(body), GetParam().line);
    EXPECT_EQ(body, GetParam().rest);
}

INSTANTIATE_TEST_SUITE_P(Bodies, TakeFirstLineTest,
                         ::testing::Values(FirstLineCase{"一\r\n二", "一", "二"},
                                           FirstLineCase{"\r\n \r\n<br>\r\n 二 \r\n三", "二", "三"},
                                           FirstLineCase{"一\n二\n", "一", "二\n"},
                                           FirstLineCase{"<p>一</p>\r\n二", "一", "二"},
                                           FirstLineCase{"<p>\r\n", "", ""}, FirstLineCase{"", "", ""},
                                           FirstLineCase{"单行", "单行", ""}));

// A UTF-16 article can hold a NUL in its first line: it once cut the failure record's path at the
// NUL and went into the log line as a NUL byte.
TEST(ComposeFileTest, ControlCharactersNeverReachTheTitle) {
    using namespace std::string_literals;
    TempFolder dir;
    config::SiteConfig site = quietSite();
    site.firstLineTitle = true;
    site.fileEncoding = 3;  // Unicode
    SitePools pools;
    WordSegmenter segmenter{" 中国 "};
    const std::string article = "\t标\0题\x01\t一\r\n正文"s;
    std::string path = dir.write("a\x02" "b.txt", "\xFF\xFE"s + *text::encode(article, text::Charset::Utf16Le));
    std::optional<ArticleDraft> draft = compose(site, pools, path, segmenter);
    ASSERT_TRUE(draft);
    EXPECT_EQ(draft->title, "标题 一");
    EXPECT_EQ(draft->body, "正文");
    EXPECT_EQ(titleOfPath(path), "ab");
    EXPECT_EQ(titleOfPath("/x/\x7F\x1B.txt"), kUntitled);
}

TEST(ComposeStepsTest, WrapParagraphs) {
    EXPECT_EQ(wrapParagraphs("a\r\n\r\n b \r\nc"), "<p>a</p>\r\n<p> b </p>\r\n<p>c</p>\r\n");
    EXPECT_EQ(wrapParagraphs("a\nb\n"), "<p>a</p>\r\n<p>b</p>\r\n");
    EXPECT_EQ(wrapParagraphs(""), "");
}

TEST(ComposeFileTest, UnreadableOrEmptyFilesGiveNothing) {
    TempFolder dir;
    config::SiteConfig site = quietSite();
    SitePools pools;
    WordSegmenter segmenter{" 中国 "};
    EXPECT_FALSE(compose(site, pools, (dir.path() / "missing.txt").string(), segmenter));
    EXPECT_FALSE(compose(site, pools, dir.write("empty.txt", ""), segmenter));
    EXPECT_FALSE(compose(site, pools, dir.write("no-body.htm", "<html><body></body></html>"), segmenter));
    EXPECT_FALSE(compose(site, pools, dir.str(), segmenter));  // a folder
}

TEST(ComposeFileTest, ReadsTheFileWithTheSiteEncoding) {
    TempFolder dir;
    config::SiteConfig site = quietSite();
    SitePools pools;
    WordSegmenter segmenter{" 中国 "};
    std::string path = dir.write("\xD6\xD0.txt", "\xC4\xE3\xBA\xC3");  // 中.txt / 你好, both GBK
    std::optional<ArticleDraft> draft = compose(site, pools, path, segmenter);
    ASSERT_TRUE(draft);
    EXPECT_EQ(draft->title, "中");
    EXPECT_EQ(draft->body, "你好");
    EXPECT_EQ(draft->path, path);
}

TEST(ComposeFileTest, LargeHtmlFileIsComposedAndInsertedInto) {
    TempFolder dir;
    std::string page = "<html><head><title>t</title></head><body>";
    const std::string paragraph = "<p>中国人民学习工作生活 the weather 天气</p>\r\n";
    page.reserve(20u * 1024 * 1024 + 100);
    while (page.size() < 20u * 1024 * 1024) page += paragraph;
    page += "</body></html>";
    config::SiteConfig site = quietSite();
    site.bodyKeywordInsert = site.tailKeywordInsert = true;
    site.bodyKeywordList = site.tailKeywordList = "词";
    site.bodyKeywordTimesMin = site.bodyKeywordTimesMax = 20;
    SitePools pools = buildSitePools(site, ListingMethod::Complete);
    WordSegmenter segmenter{" 中国 "};
    std::optional<ArticleDraft> draft = compose(site, pools, dir.write("big.htm", page), segmenter);
    ASSERT_TRUE(draft);
    EXPECT_TRUE(draft->body.starts_with("<p>中国"));
    applyInsertions(*draft, site, pools);
    std::size_t words = 0;
    for (std::size_t at = draft->body.find("词"); at != std::string::npos;
         at = draft->body.find("词", at + 1))
        ++words;
    EXPECT_EQ(words, 21u);
    EXPECT_TRUE(draft->body.ends_with("<br>词 "));
}

}  // namespace
}  // namespace oz::content
