#include "tools/pinyin_converter.h"

#include <gtest/gtest.h>

#include <string>

namespace oz::tools {
namespace {

struct PinyinCaseRow {
    const char* name;
    std::string input;
    PinyinOptions options;
    std::string expected;
};

class PinyinTest : public ::testing::TestWithParam<PinyinCaseRow> {};

TEST_P(PinyinTest, Converts) {
    EXPECT_EQ(convertToPinyin(GetParam().input, GetParam().options).text, GetParam().expected);
}

PinyinOptions mode(PinyinCase letterCase, bool initials = false) {
    return {letterCase, initials, false, false, false};
}

PinyinOptions clean(bool spaces, bool lines) { return {PinyinCase::Lower, false, true, spaces, lines}; }

INSTANTIATE_TEST_SUITE_P(
    Rows, PinyinTest,
    ::testing::Values(
        // The separator after 国 and the input's own space: two spaces before abc.
        PinyinCaseRow{"EverySyllable", "中国 abc", mode(PinyinCase::EverySyllable), "Zhong Guo  abc"},
        PinyinCaseRow{"UpperInitials", "中国 abc", mode(PinyinCase::Upper, true), "Z G  abc"},
        PinyinCaseRow{"FirstOfTextAcrossLines", "中国\n你好", mode(PinyinCase::FirstOfText),
                      "Zhong guo\nni hao"},
        PinyinCaseRow{"SeparatorBeforeAfterOther", "a中b", mode(PinyinCase::Lower), "a zhong b"},
        PinyinCaseRow{"CrLfKept", "中\r\n国", mode(PinyinCase::Upper), "ZHONG\r\nGUO"},
        PinyinCaseRow{"LettersOnly", "中国 ab1,\n好", clean(false, false), "zhongguoabhao"},
        PinyinCaseRow{"KeepSpaces", "中国 ab1,\n好", clean(true, false), "zhong guo  abhao"},
        PinyinCaseRow{"KeepLines", "中国 ab1,\r\n好", clean(false, true), "zhongguoab\r\nhao"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PinyinStopTest, StopsBetweenLines) {
    GeneratorControl control;
    int asked = 0;
    control.stopRequested = [&] { return ++asked > 2; };
    PinyinResult result = convertToPinyin("中\n国\n人\n", mode(PinyinCase::Lower), control);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(result.text, "zhong\nguo\n");
}

}  // namespace
}  // namespace oz::tools
