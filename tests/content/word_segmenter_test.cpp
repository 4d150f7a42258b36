#include "content/word_segmenter.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace oz::content {
namespace {

struct KeywordCase {
    const char* name;
    const char* dictionary;
    const char* text;
    int n;
    const char* expected;
};

class ExtractKeywordsTest : public ::testing::TestWithParam<KeywordCase> {};

TEST_P(ExtractKeywordsTest, IndexAndDirectScanGiveTheExpectedWords) {
    const KeywordCase& c = GetParam();
    const WordSegmenter segmenter(c.dictionary);
    EXPECT_EQ(segmenter.extractKeywords(c.text, c.n), c.expected);
    EXPECT_EQ(segmenter.extractKeywordsDirect(c.text, c.n), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, ExtractKeywordsTest,
    ::testing::Values(KeywordCase{"LongestWordWins", "中国人 中国 人民", "中国人民", 5, "中国人"},
                      KeywordCase{"WalkContinuesAfterTheWord", "中国 国人 人民", "中国人民", 5, "中国,人民"},
                      KeywordCase{"ShortFirstDictionaryIsReordered", "中国 中国人", "中国人", 5, "中国人"},
                      KeywordCase{"RankedByCount", "苹果 香蕉 橘子", "橘子香蕉苹果香蕉苹果苹果", 5,
                                  "苹果,香蕉,橘子"},
                      KeywordCase{"TiesKeepFirstOccurrence", "苹果 香蕉 橘子", "香蕉橘子苹果苹果橘子香蕉", 5,
                                  "香蕉,橘子,苹果"},
                      KeywordCase{"FirstNOnly", "苹果 香蕉 橘子", "苹果苹果香蕉橘子", 2, "苹果,香蕉"},
                      KeywordCase{"ZeroWantsNothing", "苹果 香蕉", "苹果香蕉", 0, ""},
                      KeywordCase{"NegativeWantsNothing", "苹果 香蕉", "苹果香蕉", -3, ""},
                      KeywordCase{"SingleCharacterEntriesAreNoWords", "中 国 a", "中国a中", 5, ""},
                      KeywordCase{"LastCharacterNeverStartsAWord", "国 中国", "中国国", 5, "中国"},
                      KeywordCase{"LatinLowerCased", "seo web", "SEO优化和Web设计", 5, "seo,web"},
                      KeywordCase{"TagsRemovedFirst", "中国 span", "中<span class=x>国</span>", 5, "中国"},
                      KeywordCase{"EntitiesRemovedFirst", "中国", "中&nbsp;国&amp;中国", 5, "中国"},
                      KeywordCase{"SpacesSeparateWords", "中国", "中 国", 5, ""},
                      KeywordCase{"EmptyDictionary", "", "中国", 5, ""},
                      KeywordCase{"EmptyText", "中国", "", 5, ""}),
    [](const ::testing::TestParamInfo<KeywordCase>& info) { return info.param.name; });

TEST(WordSegmenterTest, DictionaryIsNormalisedLongestFirstWithoutRepeats) {
    const WordSegmenter segmenter("  人民\n中国人 人民 中 中国人民\t");
    EXPECT_EQ(segmenter.dictionaryText(), " 中国人民 中国人 人民 ");
    EXPECT_EQ(segmenter.wordCount(), 3u);
}

TEST(WordSegmenterTest, BuiltInDictionaryHasTheDocumentedShape) {
    const WordSegmenter& segmenter = WordSegmenter::shared();
    EXPECT_EQ(&segmenter, &WordSegmenter::shared());
    EXPECT_GE(segmenter.wordCount(), 39000u);
    EXPECT_LE(segmenter.wordCount(), 41000u);
    // The embedded text is already in normal form.
    EXPECT_EQ(segmenter.dictionaryText(), segmenterDictionary());
    EXPECT_NE(segmenterDictionary().find(" 中国 "), std::string_view::npos);
    EXPECT_EQ(segmenter.extractKeywords("我们热爱中华人民共和国，热爱人民。", 3), "热爱,我们,中华人民共和国");
}

// Random articles over dictionary words, GB2312 characters, Latin letters, digits, punctuation,
// tags, entities, line breaks and stray bytes.
std::string randomArticle(std::mt19937& random, const std::vector<std::string>& words, int pieces) {
    static const std::vector<std::string> others = {
        "，",    "。",  "的", "了",   "在",       " ",    "\r\n", "\n",     "\r",
        "SEO",   "Web", "a",  "2024", "5",        "<p>",  "</p>", "<br />", "&nbsp;",
        "&amp;", "<",   ">",  "&",    "\xE4\xB8", "\xAD", "\xFF", "ｗ",     "國"};
    std::string text;
    for (int i = 0; i < pieces; ++i) {
        if (random() % 3 == 0) {
            text += others[random() % others.size()];
        } else {
            const std::string& word = words[random() % words.size()];
            // Sometimes only the word's start, so that near misses are tried as well.
            text += random() % 4 == 0 ? word.substr(0, word.size() / 2 + 1) : word;
        }
    }
    return text;
}

std::vector<std::string> dictionaryWords(const WordSegmenter& segmenter) {
    std::vector<std::string> words;
    const std::string& text = segmenter.dictionaryText();
    for (std::size_t pos = 1; pos < text.size();) {
        const std::size_t end = text.find(' ', pos);
        words.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return words;
}

TEST(WordSegmenterTest, IndexMatchesDirectScanOnGeneratedArticles) {
    const WordSegmenter& segmenter = WordSegmenter::shared();
    const std::vector<std::string> words = dictionaryWords(segmenter);
    std::mt19937 random(20240611);
    for (int article = 0; article < 30; ++article) {
        const std::string text = randomArticle(random, words, 150);
        const std::string prepared = WordSegmenter::prepareText(text);
        const auto indexed = segmenter.segment(prepared);
        ASSERT_EQ(indexed, segmenter.segmentDirect(prepared)) << "article " << article;
        EXPECT_FALSE(indexed.empty());
        EXPECT_EQ(segmenter.extractKeywords(text, 10), segmenter.extractKeywordsDirect(text, 10));
    }
}

// A small alphabet of troublesome bytes (CR, LF, parts of a UTF-8 sequence, spaces) in both the
// dictionary and the text: the index must agree with the direct scan byte for byte.
TEST(WordSegmenterTest, IndexMatchesDirectScanOnStrayBytes) {
    const std::vector<std::string> alphabet = {"a",    "b",    "\r",           "\n", "\xE4",
                                               "\xB8", "\xAD", "\xE4\xB8\xAD", " "};
    std::mt19937 random(7);
    for (int round = 0; round < 200; ++round) {
        std::string dictionary;
        for (int w = 0; w < 30; ++w) {
            const int length = 1 + static_cast<int>(random() % 5);
            for (int i = 0; i < length; ++i) dictionary += alphabet[random() % (alphabet.size() - 1)];
            dictionary += ' ';
        }
        std::string text;
        for (int i = 0; i < 80; ++i) text += alphabet[random() % alphabet.size()];
        const WordSegmenter segmenter(dictionary);
        ASSERT_EQ(segmenter.segment(text), segmenter.segmentDirect(text)) << "round " << round;
    }
}

}  // namespace
}  // namespace oz::content
