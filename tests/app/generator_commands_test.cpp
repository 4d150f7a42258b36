#include "app/generator_commands.h"

#include <sstream>

#include "tests/app/command_fixture.h"
#include "text/charset.h"

namespace oz::app::test {
namespace {

using GeneratorCommandsTest = CommandFixture;

TEST_F(GeneratorCommandsTest, GenerateAndItsArguments) {
    ASSERT_EQ(runIn(m_dir.path(), {"generate", "digits", "--groups", "4", "--length", "6"}), 0)
        << m_err.str();
    EXPECT_EQ(m_out.str().size(), 4u * 7u);
    EXPECT_EQ(m_out.str().find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ\n"), std::string::npos);
    EXPECT_EQ(runIn(m_dir.path(), {"generate", "chinese", "--help"}), 0);
    EXPECT_NE(m_out.str().find("--traditional"), std::string::npos);
    EXPECT_EQ(runIn(m_dir.path(), {"generate", "chinese", "--digits"}), 2);
    EXPECT_EQ(runIn(m_dir.path(), {"generate", "chinese", "--length", "3-x"}), 2);
    EXPECT_EQ(runIn(m_dir.path(), {"generate", "words"}), 2);
}

TEST_F(GeneratorCommandsTest, PinyinReadsInputAndWritesOutput) {
    std::istringstream in("中国 abc\n");
    CommandContext context{{"--mode", "2"}, m_dir.path(), m_out, m_err};
    ASSERT_EQ(pinyinCommandWith(context, in), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "Zhong Guo  abc\n");
    std::istringstream gbk(text::utf8ToGbk("中国"));
    m_out.str("");
    CommandContext initials{{"--initials", "--mode=3"}, m_dir.path(), m_out, m_err};
    ASSERT_EQ(pinyinCommandWith(initials, gbk), 0);
    EXPECT_EQ(m_out.str(), "Z G");
    CommandContext stray{{"--keep-spaces"}, m_dir.path(), m_out, m_err};
    EXPECT_EQ(pinyinCommandWith(stray, gbk), 2);
}

}  // namespace
}  // namespace oz::app::test
