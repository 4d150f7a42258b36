#include "content/pinyin.h"

#include <gtest/gtest.h>

#include <string>

#include "text/characters.h"

namespace oz::content {
namespace {

struct Reading {
    const char* character;
    const char* pinyin;
};

class PinyinOfTest : public ::testing::TestWithParam<Reading> {};

TEST_P(PinyinOfTest, FirstReadingWithoutTone) {
    EXPECT_EQ(pinyinOfCharacter(GetParam().character), GetParam().pinyin);
}

INSTANTIATE_TEST_SUITE_P(Characters, PinyinOfTest,
                         ::testing::Values(Reading{"中", "zhong"}, Reading{"国", "guo"},
                                           Reading{"行", "xing"}, Reading{"重", "zhong"}, Reading{"女", "nv"},
                                           Reading{"绿", "lv"}, Reading{"的", "de"}, Reading{"齄", "zha"},
                                           // Not GB2312 Chinese characters: no reading.
                                           Reading{"國", ""}, Reading{"a", ""}, Reading{"，", ""},
                                           Reading{"〇", ""}, Reading{"\xF0\xA0\x80\x80", ""},
                                           Reading{"\xE4\xB8", ""}, Reading{"", ""}));

TEST(PinyinTest, EveryChineseCharacterOfGb2312HasALowerCaseReading) {
    std::size_t found = 0;
    for (char32_t cp = 0x3000; cp < 0xA000; ++cp) {
        const std::string_view reading = pinyinOf(cp);
        if (reading.empty()) continue;
        ++found;
        for (char c : reading) ASSERT_TRUE(c >= 'a' && c <= 'z') << static_cast<unsigned>(cp);
    }
    EXPECT_EQ(found, 6763u);
    EXPECT_EQ(pinyinTableSize(), 6763u);
    EXPECT_EQ(pinyinOf(0x20000), "");
}

struct InitialsCase {
    const char* text;
    const char* expected;
};

class TitleInitialsTest : public ::testing::TestWithParam<InitialsCase> {};

TEST_P(TitleInitialsTest, ChineseBecomesInitialsOthersStay) {
    EXPECT_EQ(titleInitials(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Titles, TitleInitialsTest,
                         ::testing::Values(InitialsCase{"中华人民共和国", "zhrmghg"},
                                           InitialsCase{"Web设计2024版", "Websj2024b"},
                                           InitialsCase{"我是谁？ 你好!", "wss？ nh!"},
                                           InitialsCase{"第一行\r\n第二行\n", "dyx\r\ndex\n"},
                                           InitialsCase{"繁體國語", "f體國語"},
                                           InitialsCase{"\xE4\xB8中", "\xE4\xB8z"}, InitialsCase{"", ""}));

}  // namespace
}  // namespace oz::content
