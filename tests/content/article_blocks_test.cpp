#include "content/article_blocks.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace oz::content {
namespace {

using oz::test::TempFolder;
using Blocks = std::vector<std::string>;

TEST(ArticleBlocksTest, SeparatorSetting) {
    EXPECT_EQ(blockSeparator("分块符"), "分块符");
    EXPECT_EQ(blockSeparator(""), "\r\n");
    EXPECT_EQ(blockSeparator("\\n\\n"), "\r\n\r\n");
    EXPECT_EQ(blockSeparator("a\\nb\\"), "a\r\nb\\");
}

TEST(ArticleBlocksTest, PiecesAreTrimmedWrappedAndEmptyOnesDropped) {
    // One line "A分块符 B 分块符分块符C" with the default separator gives three blocks.
    EXPECT_EQ(cutArticleBlocks("A分块符 B 分块符分块符C", "分块符"),
              (Blocks{"<p>　　A</p>", "<p>　　B</p>", "<p>　　C</p>"}));
    // Full-width spaces are trimmed; line breaks inside a piece stay.
    EXPECT_EQ(cutArticleBlocks("　x\r\ny　分块符", "分块符"), (Blocks{"<p>　　x\r\ny</p>"}));
    EXPECT_EQ(cutArticleBlocks("", "分块符"), Blocks{});
    EXPECT_EQ(cutArticleBlocks("no separator", "分块符"), (Blocks{"<p>　　no separator</p>"}));
}

TEST(ArticleBlocksTest, LineBreakSeparatorAlsoCutsLfOnlyText) {
    std::string separator = blockSeparator("\\n\\n");
    EXPECT_EQ(cutArticleBlocks("one\n\ntwo\r\n\r\nthree", separator),
              (Blocks{"<p>　　one</p>", "<p>　　two</p>", "<p>　　three</p>"}));
}

TEST(ArticleBlocksTest, EntriesAreFilesOrFolders) {
    TempFolder dir;
    std::string file = dir.write("single.txt", "S1分块符S2");
    dir.write("folder/a.htm", "A");
    dir.write("folder/b.txt", "B1分块符B2");
    dir.write("folder/c.doc", "not listed");
    dir.write("folder/empty.txt", "");
    Blocks blocks =
        loadArticleBlocks({file, (dir.path() / "folder").string(), (dir.path() / "missing").string()},
                          "分块符", ListingMethod::Complete);
    EXPECT_EQ(blocks,
              (Blocks{"<p>　　S1</p>", "<p>　　S2</p>", "<p>　　A</p>", "<p>　　B1</p>", "<p>　　B2</p>"}));
}

TEST(ArticleBlocksTest, DecodesEachFile) {
    TempFolder dir;
    std::string file =
        dir.write("gbk.txt", "\xC4\xE3\xBA\xC3\r\n\r\n\xCA\xC0\xBD\xE7");  // 你好 / 世界 in GBK
    EXPECT_EQ(loadArticleBlocks({file}, "\\n\\n", ListingMethod::Fast),
              (Blocks{"<p>　　你好</p>", "<p>　　世界</p>"}));
}

}  // namespace
}  // namespace oz::content
