#include "content/article_pictures.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/temp_folder.h"
#include "text/path_text.h"

namespace oz::content {
namespace {

namespace fs = std::filesystem;

// An article folder with pics/red.png, "pics/红 色.png" and an absolute picture elsewhere.
class LocalPicturesTest : public ::testing::Test {
   protected:
    void SetUp() override {
        fs::create_directories(folder.path() / "pics");
        test::writeBytes(folder.path() / "pics" / "red.png", "png");
        test::writeBytes(folder.path() / "pics" / text::utf8Path("红 色.png"), "png");
        test::writeBytes(elsewhere.path() / "abs.gif", "gif");
    }
    std::string article() const { return (folder.path() / "a.html").string(); }
    std::string pics() const { return (folder.path() / "pics").string() + "/"; }

    test::TempFolder folder;
    test::TempFolder elsewhere;
};

TEST_F(LocalPicturesTest, FindsEveryLocalFormAndLeavesWebAddresses) {
    const std::string absolute = (elsewhere.path() / "abs.gif").string();
    const std::string body =
        "<p><IMG class=x SRC=\"pics/red.png\"><img src='http://e.com/a.png'><img src=\"//e.com/b.png\">"
        "<img alt=\"src=no\" src=pics/red.png /><a href=\"pics/%E7%BA%A2%20%E8%89%B2.png\">link</a>"
        "<a href=\"page.html\">not a picture</a><img src=\"data:image/png;base64,AA\">"
        "<img src=\"" +
        absolute + "\"><img src=\"file://" + absolute +
        "\"><img src=\"/uploads/x.png\">"
        "<!-- <img src=\"pics/commented.png\"> --><img src=\"pics/missing.png\"></p>";
    const std::vector<LocalPicture> found = localPictures(body, article());
    std::vector<std::string> written;
    std::vector<std::string> files;
    for (const LocalPicture& picture : found) {
        written.push_back(picture.written);
        files.push_back(picture.file);
        EXPECT_EQ(body.substr(picture.offset, picture.length), picture.written);
    }
    const std::vector<std::string> expectedWritten{
        "pics/red.png", "pics/red.png",       "pics/%E7%BA%A2%20%E8%89%B2.png",
        absolute,       "file://" + absolute, "pics/missing.png"};
    EXPECT_EQ(written, expectedWritten);
    const std::vector<std::string> expectedFiles{
        pics() + "red.png", pics() + "red.png", pics() + "红 色.png",
        absolute,           absolute,           pics() + "missing.png"};
    EXPECT_EQ(files, expectedFiles);
    EXPECT_TRUE(found[2].link);
    EXPECT_FALSE(found[0].link);
}

TEST_F(LocalPicturesTest, ReplacesEachAddressAndNothingElse) {
    const std::string body =
        "<img src=\"pics/red.png\"> and <img src='pics/&#x7EA2; 色.png' alt=\"pics/red.png\">";
    const std::vector<LocalPicture> found = localPictures(body, article());
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[1].file, pics() + "红 色.png");
    EXPECT_EQ(withAddresses(body, found, {"/u/1.png", "/u/2.png"}),
              "<img src=\"/u/1.png\"> and <img src='/u/2.png' alt=\"pics/red.png\">");
}

TEST(PictureTypeTest, TellsPicturesByTheirBytes) {
    EXPECT_EQ(pictureType("\x89PNG\r\n\x1a\n....")->mimeType, "image/png");
    EXPECT_EQ(pictureType("\xff\xd8\xff\xe0..")->extension, "jpg");
    EXPECT_EQ(pictureType("GIF89a...")->extension, "gif");
    EXPECT_EQ(pictureType(std::string("RIFF\x10\0\0\0WEBPVP8 ", 16))->extension, "webp");
    EXPECT_FALSE(pictureType("<html>a picture's name is not enough</html>"));
    EXPECT_FALSE(pictureType(""));
}

}  // namespace
}  // namespace oz::content
