// The picture upload: the answers of each real release's upload page, and the upload of an
// article's local pictures to the stand-in of each release.
#include "backend/picture_upload.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "backend_fixture.h"
#include "text/charset.h"
#include "text/path_text.h"

namespace oz::backend {
namespace {

namespace fs = std::filesystem;
using oz::testing::StandinRelease;
using test::BackendFixture;
using test::ReleaseFixture;

struct CapturedUpload {
    const char* name;  // tests/backend/answers/up-NAME.html, captured from the real back end
    bool dedeBiz;
    bool gbk;
    const char* expected;  // the stored address, or the reason of the refusal
    bool done;
};

class CapturedUploadTest : public ::testing::TestWithParam<CapturedUpload> {};

TEST_P(CapturedUploadTest, ReadsTheAddressOrWhyNot) {
    const CapturedUpload& c = GetParam();
    const std::string bytes = oz::test::readBytes(fs::path(OZ_SOURCE_DIR) / "tests/backend/answers" /
                                                  (std::string("up-") + c.name + ".html"));
    ASSERT_FALSE(bytes.empty());
    http::PageAnswer answer;
    answer.ok = true;
    answer.status = 200;
    answer.body = bytes;
    answer.text = c.gbk ? text::decode(bytes, text::Charset::Gbk).value_or(bytes) : bytes;
    const BackendFamily& family = c.dedeBiz ? kDedeBiz : kDedeCms;
    const UploadReading read = readUploadAnswer(answer);
    if (c.done) {
        EXPECT_TRUE(read.reading.done()) << read.reading.reason;
        EXPECT_EQ(read.address, c.expected);
    } else {
        EXPECT_EQ(read.reading.outcome, Outcome::Refused);
        EXPECT_EQ(uploadRefusalReason(read.reading.reason, family), c.expected) << read.reading.reason;
    }
}

constexpr const char* kType = "站点不接受此类型";
constexpr const char* kSize = "超过站点的上传大小限制";

INSTANTIATE_TEST_SUITE_P(
    Releases, CapturedUploadTest,
    ::testing::Values(
        CapturedUpload{"d57-png", false, false, "/uploads/allimg/261210/1-261210192200154.png", true},
        CapturedUpload{"gbk-png", false, true, "/uploads/allimg/261210/1-2612101922013R.png", true},
        CapturedUpload{"sp1-png", false, false, "/uploads/allimg/261210/1-261210192204958.png", true},
        CapturedUpload{"sp2-png", false, false, "/uploads/allimg/261210/1-261210192203B2.png", true},
        CapturedUpload{"d58-png", false, false, "/uploads/allimg/261210/1-2612101922043Q.png", true},
        CapturedUpload{"biz-png", true, false, "/static/allimg/261210/1-261210192202O5.png", true},
        CapturedUpload{"biz-webp", true, false, "/static/allimg/261210/1-261210192202296.webp", true},
        CapturedUpload{"d57-badmime", false, false, kType, false},
        CapturedUpload{"gbk-badmime", false, true, kType, false},
        CapturedUpload{"d57-fake", false, false, kType, false},
        CapturedUpload{"d57-nofile", false, false, kSize, false},
        CapturedUpload{"sp1-webp", false, false, kType, false},
        CapturedUpload{"sp2-webp", false, false, kType, false},
        CapturedUpload{"d58-webp", false, false, kType, false},
        CapturedUpload{"d58-badmime", false, false, kType, false},
        CapturedUpload{"d58-nofile", false, false, kSize, false},
        CapturedUpload{"biz-badmime", true, false, kType, false},
        CapturedUpload{"biz-fake", true, false, kType, false},
        CapturedUpload{"biz-nofile", true, false, kSize, false}),
    [](const auto& info) {
        std::string name = info.param.name;
        for (char& c : name) c = c == '-' ? '_' : c;
        return name;
    });

TEST(UploadAnswerTest, ALoginPageOrAMissingPageIsNoUpload) {
    http::PageAnswer answer;
    answer.ok = true;
    answer.status = 404;
    EXPECT_TRUE(readUploadAnswer(answer).pageMissing);
    answer.status = 500;  // PHP died: the picture may be stored or not
    EXPECT_EQ(readUploadAnswer(answer).reading.outcome, Outcome::Unknown);
    const std::string nologin =
        oz::test::readBytes(fs::path(OZ_SOURCE_DIR) / "tests/backend/answers/up-d57-nologin.html");
    answer.status = 200;
    answer.text = nologin;
    EXPECT_EQ(readUploadAnswer(answer).reading.outcome, Outcome::Refused);
}

// Pictures beside an article, uploaded to site "s1" of each release.
class PictureUploadTest : public ReleaseFixture {
   protected:
    void SetUp() override {
        ReleaseFixture::SetUp();
        fs::create_directories(folder.path() / "pics");
        png = std::string("\x89PNG\r\n\x1a\n", 8) + std::string(40, 'p');
        jpg = "\xff\xd8\xff\xe0" + std::string(40, 'j');
        gif = "GIF89a" + std::string(40, 'g');
        oz::test::writeBytes(folder.path() / "pics/red.png", png);
        oz::test::writeBytes(folder.path() / "pics" / text::utf8Path("绿 色.jpg"), jpg);
        oz::test::writeBytes(folder.path() / "pics/blue.gif", gif);
        oz::test::writeBytes(folder.path() / "pics/x.webp", std::string("RIFF\x10\0\0\0WEBPVP8 ", 16) + "ww");
        oz::test::writeBytes(folder.path() / "pics/fake.png", "<html>not a picture</html>");
        ASSERT_TRUE(loginTo(utf8Site));
    }
    content::ArticleDraft draft(const std::string& body) const {
        content::ArticleDraft d;
        d.title = "有图";
        d.path = (folder.path() / "a.html").string();
        d.body = body;
        return d;
    }
    PictureUploads upload(content::ArticleDraft& d, PictureCache* cache = nullptr) {
        AdminSession session{utf8Site, requester};
        return uploadPictures(session, context, d, cache);
    }
    std::string served(const std::string& address) {
        http::PageRequest request;
        request.url = "http://" + server.hostAndPort() + address;
        request.answerDecoding = http::kDecodeNone;
        return requester.pageRequest(request).body;
    }

    oz::test::TempFolder folder;
    std::string png, jpg, gif;
};

TEST_P(PictureUploadTest, UploadsEachPictureOnceAndPointsTheBodyAtTheStoredCopies) {
    PictureCache cache;
    content::ArticleDraft first = draft(
        "<img src=\"pics/red.png\"><img src=\"pics/%E7%BB%BF%20%E8%89%B2.jpg\"><a "
        "href=\"pics/red.png\">大图</a>"
        "<img src=\"pics/blue.gif\"><img src=\"http://example.com/remote.png\">");
    const PictureUploads result = upload(first, &cache);
    ASSERT_TRUE(result.ok) << result.failure;
    EXPECT_EQ(result.uploaded, 3);
    const auto stored = server.uploads("s1");
    ASSERT_EQ(stored.size(), 3u);
    const std::string body = "<img src=\"" + stored[0].url + "\"><img src=\"" + stored[1].url +
                             "\"><a href=\"" + stored[0].url + "\">大图</a><img src=\"" + stored[2].url +
                             "\"><img src=\"http://example.com/remote.png\">";
    EXPECT_EQ(first.body, body);
    EXPECT_EQ(served(stored[0].url), png);
    EXPECT_EQ(served(stored[1].url), jpg);
    EXPECT_EQ(served(stored[2].url), gif);
    // 图片加水印 off: no release puts its watermark on them.
    for (const auto& upload : stored) EXPECT_FALSE(upload.watermark) << upload.url;

    // A second article of the run on this back end: the picture it holds is not sent again.
    content::ArticleDraft second = draft("<img src=\"pics/red.png\">");
    const PictureUploads again = upload(second, &cache);
    EXPECT_EQ(again.uploaded, 0);
    EXPECT_EQ(again.reused, 1);
    EXPECT_EQ(second.body, "<img src=\"" + stored[0].url + "\">");
    EXPECT_EQ(server.uploads("s1").size(), 3u);
}

TEST_P(PictureUploadTest, TheWatermarkFollowsTheSetting) {
    utf8Site.watermarkImages = true;
    content::ArticleDraft d = draft("<img src=\"pics/red.png\">");
    ASSERT_TRUE(upload(d).ok);
    ASSERT_EQ(server.uploads("s1").size(), 1u);
    EXPECT_TRUE(server.uploads("s1")[0].watermark);
}

TEST_P(PictureUploadTest, APictureThatCannotGoFailsTheArticleAndLeavesItsBody) {
    struct Case {
        const char* address;
        const char* reason;
    };
    const bool webpTaken = GetParam() == StandinRelease::DedeBiz6;
    std::vector<Case> cases{
        {"pics/missing.png", "文件不存在"}, {"pics/fake.png", "不是图片"}, {"pics", "无法读取"}};
    if (!webpTaken) cases.push_back({"pics/x.webp", "站点不接受此类型"});
    for (const Case& c : cases) {
        const std::string body = std::string("<img src=\"pics/red.png\"><img src=\"") + c.address + "\">";
        content::ArticleDraft d = draft(body);
        const PictureUploads result = upload(d);
        EXPECT_FALSE(result.ok) << c.address;
        EXPECT_EQ(result.failure, std::string("图片上传失败：") + c.address + "（" + c.reason + "）");
        EXPECT_EQ(d.body, body);
    }
}

TEST_P(PictureUploadTest, AFileAboveTheSiteLimitIsRefusedForItsSize) {
    server.stop();
    // A site of its own whose PHP takes uploads of 30 bytes at most.
    oz::testing::StandinServer small;
    oz::testing::StandinSite site;
    site.prefix = "s1";
    site.release = GetParam();
    if (GetParam() == StandinRelease::DedeBiz6) site.adminDir = "admin";
    site.uploadMaxBytes = 30;
    ASSERT_TRUE(small.addSite(site));
    ASSERT_TRUE(small.start());
    utf8Site.domain = small.siteDomain("s1");
    http::HttpRequester fresh;
    AdminSession session{utf8Site, fresh};
    ASSERT_TRUE(login(session, context));
    content::ArticleDraft d = draft("<img src=\"pics/red.png\">");
    const PictureUploads result = uploadPictures(session, context, d, nullptr);
    EXPECT_EQ(result.failure, "图片上传失败：pics/red.png（超过站点的上传大小限制）");
}

TEST_P(PictureUploadTest, AnUploadWhoseAnswerIsLostIsSentAgain) {
    oz::testing::StandinFaults faults;
    faults.storedAnswer = oz::testing::StoredAnswer::DropConnection;
    faults.storedAnswerEvery = 2;  // the second picture's first answer is lost
    server.setFaults("s1", faults);
    content::ArticleDraft d = draft("<img src=\"pics/red.png\"><img src=\"pics/blue.gif\">");
    const PictureUploads result = upload(d);
    ASSERT_TRUE(result.ok) << result.failure;
    const auto stored = server.uploads("s1");
    ASSERT_EQ(stored.size(), 3u);  // a stray copy of blue.gif stays on the server
    EXPECT_EQ(d.body, "<img src=\"" + stored[0].url + "\"><img src=\"" + stored[2].url + "\">");
}

INSTANTIATE_TEST_SUITE_P(Releases, PictureUploadTest, test::kEveryRelease, test::releaseName);

}  // namespace
}  // namespace oz::backend
