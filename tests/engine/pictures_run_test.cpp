// A run whose HTML articles show local pictures: they reach the site with their articles.
#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace oz::engine::test {
namespace {

class PicturesRunTest : public EngineFixture {
   protected:
    // Site "s1" with 1.html and 2.html showing pics/red.png (one twice), and 3.html showing a
    // picture that is not there.
    config::SiteConfig siteWithPictures() {
        config::SiteConfig site = addSite("s1", 0);
        site.fileFilter = "*.html";
        site.categoryIds = "1";
        site.flagPicture = true;
        site.deleteAfterPublish = true;
        const fs::path folder(site.articleDir);
        fs::create_directories(folder / "pics");
        oz::test::writeBytes(folder / "pics/red.png", red);
        oz::test::writeBytes(folder / "1.html", "<p>一</p><img src=\"pics/red.png\"><img src=\"pics/red.png\">");
        oz::test::writeBytes(folder / "2.html", "<p>二</p><img src=\"pics/red.png\">");
        oz::test::writeBytes(folder / "3.html", "<p>三</p><img src=\"pics/gone.png\">");
        return site;
    }
    const std::string red = std::string("\x89PNG\r\n\x1a\n", 8) + "red";
};

TEST_F(PicturesRunTest, APictureIsUploadedOncePerBackEndAndAnArticleWithAMissingOneStays) {
    const config::SiteConfig site = siteWithPictures();
    const RunTotals totals = runToEnd({site});
    EXPECT_EQ(totals.totalUpdated, 2);

    const auto uploads = server.uploads("s1");
    ASSERT_EQ(uploads.size(), 1u);
    EXPECT_EQ(uploads[0].bytes, red);
    const auto articles = server.articles("s1");
    ASSERT_EQ(articles.size(), 2u);
    const std::string stored = "<img src=\"" + uploads[0].url + "\">";
    for (const auto& article : articles) {
        EXPECT_NE(article.field("body").find(stored), std::string::npos) << article.field("body");
        EXPECT_EQ(article.field("body").find("pics/"), std::string::npos);
        EXPECT_EQ(article.fieldValues("flags[]"), std::vector<std::string>{"p"});
    }
    // The article whose picture is missing was not posted, and its file stays.
    EXPECT_TRUE(observer.waitForLine("图片上传失败：pics/gone.png（文件不存在），文章未发布：3", 1));
    EXPECT_TRUE(fs::exists(fs::path(site.articleDir) / "3.html"));
    EXPECT_FALSE(fs::exists(fs::path(site.articleDir) / "1.html"));
    EXPECT_EQ(articlePosts("s1"), 2);
}

}  // namespace
}  // namespace oz::engine::test
