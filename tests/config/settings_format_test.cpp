#include <gtest/gtest.h>

#include <string>

#include "config/settings_file.h"
#include "settings_fixture.h"

namespace oz::config {
namespace {

using oz::test::readBytes;
using testing::gbk;

class SettingsFormat : public testing::SettingsFixture {
   protected:
    std::string onDisk() const { return readBytes(m_path); }
};

TEST_F(SettingsFormat, NewKeysGoFirstInTheirSection) {
    openWith("");
    m_file.setSection("S");
    ASSERT_TRUE(m_file.writeNumber("A", 1));
    EXPECT_EQ(onDisk(), "[S]\r\nA=1");
    ASSERT_TRUE(m_file.writeNumber("B", 2));
    EXPECT_EQ(onDisk(), "[S]\r\nB=2\r\nA=1");
    ASSERT_TRUE(m_file.writeNumber("A", 10));
    EXPECT_EQ(onDisk(), "[S]\r\nB=2\r\nA=10");
    m_file.setSection("T");
    ASSERT_TRUE(m_file.writeText("A", "x"));
    EXPECT_EQ(onDisk(), "[S]\r\nB=2\r\nA=10\r\n[T]\r\nA=x");
}

// A batch gathers a section's new keys before they go into the text; what it writes and reads is
// what single writes give.
TEST_F(SettingsFormat, ABatchWritesAndReadsWhatSingleWritesDo) {
    auto run = [](SettingsFile& file, bool batch) {
        std::string reads;
        if (batch) file.beginBatch();
        file.setSection("S");
        file.writeText("A", "1");
        file.writeText("B", "2");
        file.writeText("C", "3");
        reads += file.readText("B") + file.readText("A") + "|";
        file.writeText("A", "10");
        file.writeText("K=x", "y");
        reads += file.readText("K") + "|" + file.readText("K=x") + "|";
        file.writeText("E", "5");
        file.setSection("T");
        file.writeText("A", "t");
        file.setSection("S");
        file.writeText("F", "6");
        reads += file.readText("A") + file.readText("F") + file.readText("E", "-") + "|";
        file.deleteSection("T");
        if (batch) file.endBatch();
        return reads + file.bytes();
    };
    openWith("[S]x\r\nZ=0\r\n[U]\r\nA=u");
    const std::string single = run(m_file, false);
    EXPECT_EQ(single, "21|x=y|y|1065|" +
                          gbk("[S]\r\nF=6\r\nE=5\r\nK=x=y\r\nC=3\r\nB=2\r\nA=10\r\nZ=0\r\n[U]\r\nA=u"));
    m_file.close();
    openWith("[S]x\r\nZ=0\r\n[U]\r\nA=u");
    EXPECT_EQ(run(m_file, true), single);
    EXPECT_EQ(onDisk(), single.substr(single.rfind('|') + 1));
}

TEST_F(SettingsFormat, NewSectionAfterTrailingLineBreakKeepsTheEmptyLine) {
    openWith("[S]\r\nA=1\r\n");
    m_file.setSection("T");
    ASSERT_TRUE(m_file.writeText("K", "v"));
    EXPECT_EQ(onDisk(), "[S]\r\nA=1\r\n\r\n[T]\r\nK=v");
}

struct LookupCase {
    const char* name;
    const char* content;
    const char* section;
    const char* key;
    const char* expected;  // nullptr: missing
};

class SettingsLookup : public SettingsFormat, public ::testing::WithParamInterface<LookupCase> {};

TEST_P(SettingsLookup, FindsOnlyEntriesOfTheSection) {
    const LookupCase& c = GetParam();
    openWith(c.content);
    m_file.setSection(c.section);
    std::string value = m_file.readText(c.key, "<missing>");
    EXPECT_EQ(value, c.expected ? c.expected : "<missing>");
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SettingsLookup,
    ::testing::Values(LookupCase{"HeaderInsideLineIsNoHeader", "[R]\r\nx[S]\r\nA=1", "S", "A", nullptr},
                      LookupCase{"HeaderInsideLineBelongsToSectionBefore", "[R]\r\nx[S]\r\nA=1", "R", "A",
                                 "1"},
                      LookupCase{"KeyOnlyInLaterSection", "[S]\r\nB=2\r\n[T]\r\nA=1", "S", "A", nullptr},
                      LookupCase{"KeyRightAfterLaterHeader", "[S]\r\n[T]\r\nA=1", "S", "A", nullptr},
                      LookupCase{"FirstOfTwoEqualHeaders", "[S]\r\nA=1\r\n[S]\r\nA=2", "S", "A", "1"},
                      LookupCase{"KeyOnHeaderLineIsNoEntry", "[S]A=1\r\nB=2", "S", "A", nullptr},
                      LookupCase{"LineWithoutClosingBracketEndsNothing", "[S]\r\n[T\r\nA=1", "S", "A", "1"},
                      LookupCase{"HeaderWithTextAfterItEndsNothing", "[S]\r\n[T]x\r\nA=1", "S", "A", "1"},
                      LookupCase{"HeaderWithTextAfterItIsStillAHeader", "[S]\r\n[T]x\r\nA=1", "T", "A", "1"},
                      // 廬 is 8F 5D in GBK: its trail byte is "]", yet the line is no complete header.
                      LookupCase{"TrailByteIsNoClosingBracket", "[S]\r\n[廬\r\nA=1", "S", "A", "1"},
                      LookupCase{"ValueRunsToLineEnd", "[S]\r\nA=x=y [T]\r\n", "S", "A", "x=y [T]"},
                      LookupCase{"KeysCompareExactly", "[S]\r\na=1\r\nA =2", "S", "A", nullptr},
                      LookupCase{"SectionsCompareExactly", "[s]\r\nA=1", "S", "A", nullptr},
                      LookupCase{"EmptyValue", "[S]\r\nA=", "S", "A", ""},
                      LookupCase{"LastLineHeaderWithoutLineBreak", "[S]\r\nA=1\r\n[T]", "S", "A", "1"},
                      LookupCase{"LastLineHeaderHasNoEntries", "[S]\r\nA=1\r\n[T]", "T", "A", nullptr},
                      // A header ends at a bare LF even where the next line could not stand alone:
                      // the entry after it is T's only (fuzz input repro-stray-lf-after-header).
                      LookupCase{"HeaderEndsAtBareLineFeed", "[S]\r\n[T]\nxyz\nA=1", "S", "A", nullptr},
                      LookupCase{"HeaderAtBareLineFeedKeepsItsEntry", "[S]\r\n[T]\nxyz\nA=1", "T", "A", "1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SettingsFormat, WritingIntoSectionOnLastLineWithoutLineBreak) {
    openWith("[S]\r\nA=1\r\n[T]");
    m_file.setSection("T");
    ASSERT_TRUE(m_file.writeText("A", "2"));
    m_file.setSection("S");
    ASSERT_TRUE(m_file.writeText("B", "3"));
    EXPECT_EQ(onDisk(), gbk("[S]\r\nB=3\r\nA=1\r\n[T]\r\nA=2"));
}

TEST_F(SettingsFormat, HeaderLineTextIsReplacedByTheFirstNewKey) {
    // The new entry goes right after "[T]": what followed on that line becomes its old value.
    // From then on "[T]" is a complete header and ends section R.
    openWith("[R]\r\n[T]xyz\r\nA=1");
    m_file.setSection("R");
    EXPECT_EQ(m_file.readText("A"), "1");
    m_file.setSection("T");
    ASSERT_TRUE(m_file.writeText("B", "2"));
    EXPECT_EQ(onDisk(), "[R]\r\n[T]\r\nB=2\r\nA=1");
    m_file.setSection("R");
    EXPECT_EQ(m_file.readText("A", "<missing>"), "<missing>");
}

TEST_F(SettingsFormat, KeyOfLaterSectionIsNotOverwritten) {
    openWith("[S]\r\nB=2\r\n[T]\r\nA=1");
    m_file.setSection("S");
    ASSERT_TRUE(m_file.writeText("A", "9"));
    EXPECT_EQ(onDisk(), "[S]\r\nA=9\r\nB=2\r\n[T]\r\nA=1");
}

TEST_F(SettingsFormat, TextLineBreaksUseTheMarker) {
    openWith("");
    m_file.setSection("S");
    ASSERT_TRUE(m_file.writeText("L", "第一行\r\n第二行"));
    EXPECT_EQ(onDisk(), "[S]\r\nL=" + gbk("第一行") + "\xA9\xAE*\xA9\xAE" + gbk("第二行"));
    EXPECT_EQ(m_file.readText("L"), "第一行\r\n第二行");
    // A text that holds the marker itself comes back with a line break in its place.
    ASSERT_TRUE(m_file.writeText("M", "a┊*┊b"));
    EXPECT_EQ(m_file.readText("M"), "a\r\nb");
}

TEST_F(SettingsFormat, BoolsAreTrueOnlyForTheExactText) {
    openWith("[S]\r\nE=true\r\nO=1\r\nY=真 ");
    m_file.setSection("S");
    EXPECT_FALSE(m_file.readBool("E", true));
    EXPECT_FALSE(m_file.readBool("O", true));
    EXPECT_FALSE(m_file.readBool("Y", true));
    EXPECT_TRUE(m_file.readBool("missing", true));
    ASSERT_TRUE(m_file.writeBool("T", true));
    ASSERT_TRUE(m_file.writeBool("F", false));
    EXPECT_EQ(onDisk(), gbk("[S]\r\nF=假\r\nT=真\r\nE=true\r\nO=1\r\nY=真 "));
    EXPECT_TRUE(m_file.readBool("T"));
}

TEST_F(SettingsFormat, NumbersKeepTheirShortForm) {
    openWith("[S]\r\nbad=abc\r\nempty=\r\nlead=12abc");
    m_file.setSection("S");
    ASSERT_TRUE(m_file.writeNumber("i", 2));
    ASSERT_TRUE(m_file.writeNumber("p", 43.0));
    ASSERT_TRUE(m_file.writeNumber("f", 0.01f));
    ASSERT_TRUE(m_file.writeNumber("d", 0.01));
    ASSERT_TRUE(m_file.writeNumber("n", -1));
    EXPECT_EQ(m_file.readText("i"), "2");
    EXPECT_EQ(m_file.readText("p"), "43");
    EXPECT_EQ(m_file.readText("f"), "0.01");
    EXPECT_EQ(m_file.readText("d"), "0.01");
    EXPECT_EQ(m_file.readText("n"), "-1");
    EXPECT_EQ(static_cast<float>(m_file.readNumber("f")), 0.01f);
    // A present key with no number reads 0; only a missing key gives the default.
    EXPECT_EQ(m_file.readNumber("bad", 7), 0);
    EXPECT_EQ(m_file.readNumber("empty", 7), 0);
    EXPECT_EQ(m_file.readNumber("lead", 7), 12);
    EXPECT_EQ(m_file.readNumber("missing", 7), 7);
}

TEST_F(SettingsFormat, DeleteSectionRemovesHeaderAndEntries) {
    openWith("[A]\r\nk=1\r\n[S]\r\nk=2\r\nx[T]\r\n[B]\r\nk=3\r\n[C]\r\nk=4");
    EXPECT_TRUE(m_file.deleteSection("S"));
    EXPECT_EQ(onDisk(), "[A]\r\nk=1\r\n[B]\r\nk=3\r\n[C]\r\nk=4");
    EXPECT_TRUE(m_file.deleteSection("A"));
    EXPECT_EQ(onDisk(), "[B]\r\nk=3\r\n[C]\r\nk=4");
    EXPECT_TRUE(m_file.deleteSection("C"));
    EXPECT_EQ(onDisk(), "[B]\r\nk=3");
    EXPECT_FALSE(m_file.deleteSection("C"));
    EXPECT_TRUE(m_file.lastError().empty());
    EXPECT_TRUE(m_file.deleteSection("B"));
    EXPECT_EQ(onDisk(), "");
    m_file.setSection("N");
    ASSERT_TRUE(m_file.writeText("k", "v"));
    EXPECT_EQ(onDisk(), "[N]\r\nk=v");
}

TEST_F(SettingsFormat, DeletingTheFirstOfTwoEqualSectionsUncoversTheSecond) {
    openWith("[S]\r\nA=1\r\n[S]\r\nA=2");
    ASSERT_TRUE(m_file.deleteSection("S"));
    m_file.setSection("S");
    EXPECT_EQ(m_file.readText("A"), "2");
}

TEST_F(SettingsFormat, SectionThatCannotBeEstablishedFailsWithoutTouchingTheFile) {
    openWith("[S]\r\nA=1");
    m_file.setSection("bad\r\nname");
    EXPECT_FALSE(m_file.writeText("A", "x"));
    EXPECT_EQ(m_file.lastError(), "配置模块出现意外，可能导致无法正常保存！详情请咨询Orvane。");
    EXPECT_EQ(onDisk(), "[S]\r\nA=1");
    m_file.setSection("S");
    EXPECT_FALSE(m_file.writeText("[K", "x"));
    EXPECT_EQ(onDisk(), "[S]\r\nA=1");
}

TEST_F(SettingsFormat, ValuesWithStrayLineEndCharactersStayOnTheirLine) {
    openWith("");
    m_file.setSection("S");
    ASSERT_TRUE(m_file.writeText("A", "ends with CR\r"));
    ASSERT_TRUE(m_file.writeText("B", "\nstarts with LF"));
    // Regression (fuzz input settings_file/repro-lf-before-lf-before-equals.ini): the second LF became
    // a marker after the first had been kept, which then ended its line: the write failed with
    // "配置模块出现意外" and so did the export of that site.
    ASSERT_TRUE(m_file.writeText("C", "a\nb\n=c")) << m_file.lastError();
    EXPECT_EQ(m_file.readText("C"), "a\r\nb\r\n=c");
    SettingsFile reopened;
    m_file.close();
    ASSERT_TRUE(reopened.open(m_path));
    reopened.setSection("S");
    EXPECT_EQ(reopened.readText("A"), "ends with CR\r");
    EXPECT_EQ(reopened.readText("B"), "\nstarts with LF");
}

}  // namespace
}  // namespace oz::config
