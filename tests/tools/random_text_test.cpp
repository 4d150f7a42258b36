#include "tools/random_text.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "text/characters.h"
#include "tools/traditional_converter.h"

namespace oz::tools {
namespace {

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

struct LengthCase {
    int minLength;
    int maxLength;
    long long groups;
    int shortest;
    int longest;
};

class GroupLengthTest : public ::testing::TestWithParam<LengthCase> {};

// Every table gives the asked number of lines, each within the bounds and made of its characters.
TEST_P(GroupLengthTest, ChineseGroupsHaveTheirCountAndLength) {
    const LengthCase c = GetParam();
    for (CharacterTable table :
         {CharacterTable::MostUsed, CharacterTable::Common, CharacterTable::Secondary}) {
        const auto& characters = tableCharacters(table);
        const std::set<std::string_view> known(characters.begin(), characters.end());
        GeneratedText result = generateChinese({table, c.minLength, c.maxLength, c.groups, false});
        ASSERT_TRUE(result.error.empty()) << result.error;
        EXPECT_EQ(result.groups, c.groups);
        const std::vector<std::string> lines = linesOf(result.text);
        ASSERT_EQ(static_cast<long long>(lines.size()), c.groups);
        for (const std::string& line : lines) {
            EXPECT_GE(text::countChars(line), c.shortest);
            EXPECT_LE(text::countChars(line), c.longest);
            for (std::size_t at = 0; at < line.size(); at = text::nextChar(line, at)) {
                EXPECT_TRUE(known.count(std::string_view(line).substr(at, text::charLength(line, at))));
            }
        }
    }
}

TEST_P(GroupLengthTest, LetterGroupsHaveTheirCountAndLength) {
    const LengthCase c = GetParam();
    LetterTextOptions options;
    options.digits = true;
    options.minLength = c.minLength;
    options.maxLength = c.maxLength;
    options.groups = c.groups;
    const std::vector<std::string> lines = linesOf(generateLetters(options).text);
    ASSERT_EQ(static_cast<long long>(lines.size()), c.groups);
    for (const std::string& line : lines) {
        EXPECT_GE(static_cast<int>(line.size()), c.shortest);
        EXPECT_LE(static_cast<int>(line.size()), c.longest);
    }
}

INSTANTIATE_TEST_SUITE_P(Bounds, GroupLengthTest,
                         ::testing::Values(LengthCase{2, 2, 3, 2, 2}, LengthCase{0, 0, 5, 8, 8},
                                           LengthCase{-3, -1, 2, 8, 8}, LengthCase{5, 1, 40, 1, 5},
                                           LengthCase{3, 5, 0, 0, 0}));

TEST(TablesTest, HoldTheirCharacters) {
    EXPECT_EQ(tableCharacters(CharacterTable::MostUsed).size(), 498u);
    EXPECT_EQ(tableCharacters(CharacterTable::Common).size(), 2500u);
    EXPECT_EQ(tableCharacters(CharacterTable::Secondary).size(), 1000u);
    EXPECT_EQ(tableCharacters(CharacterTable::MostUsed).front(), "的");
    EXPECT_EQ(tableCharacters(CharacterTable::Common).back(), "罐");
    EXPECT_EQ(tableCharacters(CharacterTable::Secondary).front(), "匕");
}

struct KindCase {
    bool digits, lower, upper;
    std::string allowed;  // "d", "l", "u" for the kinds that may and must appear
};

class LetterKindTest : public ::testing::TestWithParam<KindCase> {};

// A single box (none: upper case) gives that kind only; two or three give each of theirs.
TEST_P(LetterKindTest, KindsFollowTheBoxes) {
    const KindCase c = GetParam();
    LetterTextOptions options{c.digits, c.lower, c.upper, false, 20, 20, 100};
    std::set<char> kinds;
    for (char ch : generateLetters(options).text) {
        if (ch == '\n') continue;
        kinds.insert(ch >= '0' && ch <= '9'   ? 'd'
                     : ch >= 'a' && ch <= 'z' ? 'l'
                     : ch >= 'A' && ch <= 'Z' ? 'u'
                                              : '?');
    }
    EXPECT_EQ(std::string(kinds.begin(), kinds.end()), c.allowed);
}

INSTANTIATE_TEST_SUITE_P(
    Boxes, LetterKindTest,
    ::testing::Values(KindCase{false, false, false, "u"}, KindCase{true, false, false, "d"},
                      KindCase{false, true, false, "l"}, KindCase{false, false, true, "u"},
                      KindCase{true, true, false, "dl"}, KindCase{false, true, true, "lu"},
                      KindCase{true, false, true, "du"}, KindCase{true, true, true, "dlu"}));

TEST(LetterTextTest, FullWidthConvertsTheWholeGroup) {
    EXPECT_EQ(toFullWidth("a1 Z~"), "ａ１　Ｚ～");
    LetterTextOptions options{true, true, true, true, 6, 6, 20};
    for (const std::string& line : linesOf(generateLetters(options).text)) {
        EXPECT_EQ(text::countChars(line), 6);
        EXPECT_EQ(line.size(), 18u);  // three UTF-8 bytes each
    }
}

// Groups drawn in quick succession differ: the generator is not reseeded from the clock per group.
TEST(RandomTextTest, GroupsMadeWithinOneTickDiffer) {
    GeneratedText chinese = generateChinese({CharacterTable::MostUsed, 8, 8, 5000, false});
    const std::vector<std::string> lines = linesOf(chinese.text);
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()).size(), lines.size());
    LetterTextOptions options{true, true, true, false, 10, 10, 5000};
    const std::vector<std::string> letters = linesOf(generateLetters(options).text);
    EXPECT_EQ(std::set<std::string>(letters.begin(), letters.end()).size(), letters.size());
}

TEST(RandomTextTest, StopsBetweenGroupsAndReportsProgress) {
    long long lastDone = -1;
    int reports = 0;
    GeneratorControl control;
    control.stopRequested = [&] { return lastDone >= 50; };
    control.progress = [&](long long done, long long total) {
        EXPECT_EQ(total, 1000);
        lastDone = done;
        ++reports;
    };
    GeneratedText result = generateChinese({CharacterTable::Common, 3, 5, 1000, false}, control);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.groups, 50);
    EXPECT_EQ(linesOf(result.text).size(), 50u);
    EXPECT_LE(reports, 6);
}

TEST(RandomTextTest, RefusesMoreThanItCanHold) {
    GeneratedText result = generateChinese({CharacterTable::MostUsed, 1, 1000, 1'000'000, false});
    EXPECT_FALSE(result.error.empty());
    EXPECT_TRUE(result.text.empty());
}

TEST(TraditionalConverterTest, ConvertsSimplifiedText) {
    TraditionalConverter converter;
    ASSERT_TRUE(converter.isReady()) << converter.error();
    EXPECT_EQ(converter.convert("中国的头发"), "中國的頭髮");
    GeneratedText result = generateChinese({CharacterTable::MostUsed, 400, 400, 3, true});
    ASSERT_TRUE(result.error.empty()) << result.error;
    EXPECT_EQ(result.text.find("国"), std::string::npos);
}

}  // namespace
}  // namespace oz::tools
