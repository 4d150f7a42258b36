#include <gtest/gtest.h>

#include <filesystem>

#include "command_fixture.h"
#include "config/data_folder.h"
#include "text/charset.h"

namespace oz::app {
namespace {

namespace fs = std::filesystem;

class PreviewCommandTest : public test::CommandFixture {
   protected:
    int preview(std::vector<std::string> args) {
        args.insert(args.begin(), "preview");
        return runIn(m_dir.path(), std::move(args));
    }
};

config::SiteConfig previewSite() {
    config::SiteConfig site;
    site.enabled = true;
    site.user = "editor";
    site.password = "secret";
    site.domain = "www.example.com";
    site.keywordMethod = 2;     // 使用标题
    site.tagMethod = 3;         // 留空内容
    site.shortTitleMethod = 0;  // 随机词组
    site.shortTitleList = "甲\r\n乙";
    site.shortTitleCountMin = site.shortTitleCountMax = 1;
    site.authorList = "作者";
    site.categoryIds = "5";
    site.fileNameRule = 1;  // 标题首拼
    site.summaryLengthMin = site.summaryLengthMax = 4;
    site.viewCountMin = site.viewCountMax = 10;
    site.flagHeadline = site.flagBold = true;
    site.titleKeywordInsert = true;
    site.titleKeywordList = "热";
    site.titleKeywordPercent = 100;
    site.titleKeywordPosition = 1;  // 标题后
    return site;
}

TEST_F(PreviewCommandTest, PrintsTheFormFieldsOfEachArticleAndSkipsMissingOnes) {
    saveSite(previewSite());
    std::string first = m_dir.write("中国.txt", text::utf8ToGbk("<p>第一段落</p>\r\n第二"));
    std::string second = m_dir.write("[#8#]人民.txt", "<p>Body</p>");
    std::string missing = (m_dir / "missing.txt").string();

    EXPECT_EQ(preview({"--site", "1", first, missing, second}), 1);
    std::string out = m_out.str();
    std::string expectedFirst =
        "title: 中国：热\n"
        "shorttitle: X\n"
        "tags: \n"
        "keywords: 中国\n"
        "writer: 作者\n"
        "typeid: 5\n"
        "filename: zg\n"
        "description: 第一段落\n"
        "click: 10\n"
        "flags[]: h,b\n"
        "body: <p>第一段落</p>\r\n第二\n";
    std::string expectedRest = "文章不存在：" + missing + "\n" +
                               "title: 人民：热\n"
                               "shorttitle: Y\n"
                               "tags: \n"
                               "keywords: [#8#]人民\n"
                               "writer: 作者\n"
                               "typeid: 8\n"
                               "filename: rm\n"
                               "description: Body\n"
                               "click: 10\n"
                               "flags[]: h,b\n"
                               "body: <p>Body</p>\n";
    // The short-title picker lives across the articles: the two get different entries.
    std::size_t a = out.find("shorttitle: ") + 12;
    std::size_t b = out.find("shorttitle: ", a) + 12;
    ASSERT_NE(b, std::string::npos);
    std::string firstPick = out.substr(a, 3), secondPick = out.substr(b, 3);
    EXPECT_NE(firstPick, secondPick);
    EXPECT_TRUE(firstPick == "甲" || firstPick == "乙") << firstPick;
    out.replace(b, 3, "Y");
    out.replace(a, 3, "X");
    EXPECT_EQ(out, expectedFirst + expectedRest);
    EXPECT_EQ(m_err.str(), "");
}

TEST_F(PreviewCommandTest, SaysWhichLocalPicturesWillBeUploaded) {
    saveSite(previewSite());
    m_dir.write("red.png", std::string("\x89PNG\r\n\x1a\n", 8) + "px");
    m_dir.write("fake.png", "text");
    std::string file = m_dir.write(
        "a.html",
        "<img src=\"red.png\"><img src=\"http://e.com/r.png\"><img src=\"fake.png\"><img src=gone.gif>");
    EXPECT_EQ(preview({"--site", "1", file}), 0);
    const std::string folder = (m_dir / "").string();
    const std::string out = m_out.str();
    EXPECT_NE(out.find("\npicture: red.png = " + folder +
                       "red.png（将上传，png，10 字节）\n"
                       "picture: fake.png = " +
                       folder +
                       "fake.png（无法上传：不是图片，文章不会发布）\n"
                       "picture: gone.gif = " +
                       folder + "gone.gif（无法上传：文件不存在，文章不会发布）\n"),
              std::string::npos)
        << out;
    EXPECT_EQ(out.find("e.com/r.png ="), std::string::npos);
}

TEST_F(PreviewCommandTest, BadArgumentsAndUnknownSites) {
    saveSite(previewSite());
    std::string file = m_dir.write("a.txt", "x");
    EXPECT_EQ(preview({file}), 2);
    EXPECT_EQ(preview({"--site", "1"}), 2);
    EXPECT_EQ(preview({"--site", "zero", file}), 2);
    EXPECT_EQ(preview({"--site", "2", file}), 2);
    EXPECT_NE(m_err.str().find("2"), std::string::npos);
    EXPECT_EQ(m_out.str(), "");
    EXPECT_EQ(preview({"--site=1", file}), 0);
    EXPECT_EQ(m_out.str().rfind("title: a：热\n", 0), 0u);
}

TEST_F(PreviewCommandTest, WithoutSettingsFileNothingIsCreated) {
    std::string file = m_dir.write("a.txt", "x");
    EXPECT_EQ(preview({"--site", "1", file}), 2);
    EXPECT_FALSE(fs::exists(m_dir / config::kSettingsFileName));
}

}  // namespace
}  // namespace oz::app
