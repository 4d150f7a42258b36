#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "text/charset.h"

namespace {

using oz::text::operatorFileText;

struct OperatorFileCase {
    const char* name;
    std::string bytes;
    std::optional<std::string> text;  // nullopt: refused
};

class OperatorFileTextTest : public ::testing::TestWithParam<OperatorFileCase> {};

// A list file saved by Notepad as "Unicode" read as GBK gave junk categories; each form an editor
// writes is read as what it is, and what is none of them is refused.
TEST_P(OperatorFileTextTest, ReadsEachEditorForm) {
    const OperatorFileCase& c = GetParam();
    EXPECT_EQ(operatorFileText(c.bytes), c.text) << c.name;
}

const std::string kList = "新闻\r\n体育";

INSTANTIATE_TEST_SUITE_P(
    Forms, OperatorFileTextTest,
    ::testing::Values(
        OperatorFileCase{"UTF-16 LE with its mark",
                         "\xFF\xFE" + *oz::text::encode(kList, oz::text::Charset::Utf16Le), kList},
        OperatorFileCase{"UTF-16 BE with its mark",
                         "\xFE\xFF" + *oz::text::encode(kList, oz::text::Charset::Utf16Be), kList},
        OperatorFileCase{"UTF-16 LE without a mark", std::string("a\0b\0\r\0\n\0", 8), "ab\r\n"},
        OperatorFileCase{"UTF-16 BE without a mark", std::string("\0a\0b", 4), "ab"},
        OperatorFileCase{"UTF-8 with its mark", "\xEF\xBB\xBF" + kList, kList},
        OperatorFileCase{"UTF-8", kList, kList},
        OperatorFileCase{"GBK", *oz::text::encode(kList, oz::text::Charset::Gbk), kList},
        OperatorFileCase{"empty", "", ""},
        OperatorFileCase{"UTF-16 cut in a code unit",
                         "\xFF\xFE"
                         "a\0b",
                         std::nullopt},
        OperatorFileCase{"NUL bytes in both halves", std::string("a\0\0b", 4), std::nullopt},
        OperatorFileCase{"GBK cut after a lead byte", "abc\x81", std::nullopt}),
    [](const auto& info) { return "case" + std::to_string(info.index); });

TEST(Utf8OrGbkText, ReadsUtf16ByItsMark) {
    EXPECT_EQ(oz::text::utf8OrGbkText("\xFF\xFE" + *oz::text::encode(kList, oz::text::Charset::Utf16Le)),
              kList);
    EXPECT_EQ(oz::text::utf8OrGbkText("abc\x81"), "abc\xEF\xBF\xBD");  // lenient: U+FFFD
}

}  // namespace
