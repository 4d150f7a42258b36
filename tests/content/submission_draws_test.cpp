#include "content/submission_draws.h"

#include <gtest/gtest.h>

#include "text/random.h"

namespace oz::content {
namespace {

struct PictureCase {
    const char* body;
    bool picture;
};

class BodyHoldsPictureTest : public ::testing::TestWithParam<PictureCase> {};

TEST_P(BodyHoldsPictureTest, ImgTagAndPictureExtension) {
    EXPECT_EQ(bodyHoldsPicture(GetParam().body), GetParam().picture);
}

INSTANTIATE_TEST_SUITE_P(Bodies, BodyHoldsPictureTest,
                         ::testing::Values(PictureCase{"<p><IMG src=\"a.PNG\"></p>", true},
                                           PictureCase{"<img src=a.jpeg>", true},
                                           PictureCase{"<img src=x> elsewhere b.gif", true},
                                           PictureCase{"<img src=a.webp>", false},  // WebP is no picture here
                                           PictureCase{"a.jpg without a tag", false},
                                           PictureCase{"<imgx src=a.jpg>", false}));

struct FlagCase {
    const char* body;
    const char* flags;
};

class CheckedFlagsTest : public ::testing::TestWithParam<FlagCase> {};

TEST_P(CheckedFlagsTest, ExactlyTheCheckedFlagsInFormOrder) {
    config::SiteConfig site;
    site.flagHeadline = site.flagRecommended = site.flagSlide = site.flagSpecial = true;
    site.flagScrolling = site.flagBold = site.flagPicture = true;
    EXPECT_EQ(drawFlags(site, GetParam().body), GetParam().flags);
    site.flagRecommended = site.flagPicture = false;
    std::string expected = GetParam().flags;
    std::erase(expected, 'c');
    std::erase(expected, 'p');
    EXPECT_EQ(drawFlags(site, GetParam().body), expected);
}

INSTANTIATE_TEST_SUITE_P(Bodies, CheckedFlagsTest,
                         ::testing::Values(FlagCase{"<img src=a.jpg>", "hcfasbp"}, FlagCase{"text", "hcasb"},
                                           FlagCase{"<img src=a.webp>", "hcasb"}));

TEST(RandomFlagsTest, AboutFourArticlesInFiveCarryNoFlag) {
    text::seedRandom(5);
    config::SiteConfig site;
    site.randomFlags = true;  // the check boxes themselves do not matter then
    int none = 0;
    const int draws = 4000;
    int letters[128] = {};
    for (int i = 0; i < draws; ++i) {
        std::string flags = drawFlags(site, "<img src=a.gif>");
        if (flags.empty()) ++none;
        for (char c : flags) ++letters[static_cast<unsigned char>(c)];
    }
    EXPECT_NEAR(static_cast<double>(none) / draws, 0.80, 0.03);
    for (char c : std::string("hcfasbp")) EXPECT_GT(letters[static_cast<unsigned char>(c)], 0) << c;
}

TEST(SummaryTest, PlainTextWithoutAddressesAndWhiteSpace) {
    const char* body = "<p>你好 &amp; world</p>\r\n<a href='http://x.com/a'>www.example.com/page中文</a>";
    EXPECT_EQ(drawSummary(body, 5, 5), "你好&wo");
    EXPECT_EQ(drawSummary(body, 100, 200), "你好&world中文");
    EXPECT_EQ(drawSummary(body, 0, 0), "");
    EXPECT_EQ(drawSummary("", 3, 3), "");
}

TEST(SubmissionFieldsTest, DrawnFromTheSiteSettings) {
    config::SiteConfig site;
    site.viewCountMin = 50;
    site.viewCountMax = 150;
    site.summaryLengthMin = site.summaryLengthMax = 2;
    site.flagBold = true;
    ArticleDraft draft;
    draft.body = "<p>正文内容</p>";
    drawSubmissionFields(draft, site);
    EXPECT_EQ(draft.description, "正文");
    EXPECT_EQ(draft.flags, "b");
    EXPECT_GE(draft.click, 50);
    EXPECT_LE(draft.click, 150);
}

}  // namespace
}  // namespace oz::content
