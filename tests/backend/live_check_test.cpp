// The live check against the stand-in's visitor pages on every release, and its readers against
// what the real back ends write.
#include "backend/live_check.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "backend/article_submission.h"
#include "backend/regeneration.h"
#include "backend_fixture.h"

namespace oz::backend {
namespace {

class LiveCheckTest : public test::ReleaseFixture {
   protected:
    void SetUp() override {
        ReleaseFixture::SetUp();
        ASSERT_TRUE(loginTo(utf8Site));
    }

    // Publishes `count` articles into category 2, regenerates it and the home page, and checks.
    LiveCheckReport publishAndCheck(int count, const oz::testing::StandinFaults& faults = {}) {
        AdminSession session{utf8Site, requester};
        std::vector<LiveArticle> published;
        for (int i = 1; i <= count; ++i) {
            content::ArticleDraft draft;
            draft.title = "前台 & 检查 " + std::to_string(i);
            draft.body = "<p>正文</p>";
            draft.typeId = 2;
            const SubmitResult result = submitArticle(session, context, draft, pools, 1, &tracking);
            EXPECT_TRUE(result.published()) << result.reason;
            published.push_back({draft.title, result.address, 2, {}});
        }
        const MadePages made = regenerateSite(session, context, {2}, 1, false);
        EXPECT_EQ(made.firstListPages.count(2), 1u);
        EXPECT_TRUE(made.homePage);
        server.setFaults("s1", faults);
        server.clearRequests();
        return checkLive(session, context, published, made, 1, &tracking);
    }

    std::vector<std::string> warnings() {
        std::vector<std::string> lines;
        for (const std::string& text : logTexts()) {
            if (text.starts_with("前台检查未通过：")) lines.push_back(text);
        }
        return lines;
    }

    content::SitePools pools;
    BackEndLedger ledger;
    ArticleTracking tracking{&ledger, "s1"};
};

// One GET per article, one for the category's first list page, one for the home page.
TEST_P(LiveCheckTest, PublishedArticlesShowOnTheirPagesTheListAndTheHomePage) {
    const LiveCheckReport report = publishAndCheck(3);
    EXPECT_EQ(report.confirmed, 3);
    EXPECT_EQ(report.failed, 0);
    EXPECT_FALSE(report.homePageFailed);
    EXPECT_EQ(report.requests, 5);
    EXPECT_EQ(server.requests("s1").size(), 5u);
    EXPECT_TRUE(warnings().empty());
    EXPECT_EQ(logTexts().back(), "前台确认 3 篇，未通过 0 篇");
}

struct FaultCase {
    const char* name;
    oz::testing::StandinFaults faults;
    const char* reason;
};

// A broken template or a missing page is caught on every article and on the home page, though
// the back end answered each regeneration with its success text.
TEST_P(LiveCheckTest, AFaultOfTheLiveSiteFailsEveryArticleAndTheHomePage) {
    oz::testing::StandinFaults broken;
    broken.brokenTemplates = true;
    oz::testing::StandinFaults missing;
    missing.visitorPagesMissing = true;
    for (const FaultCase& c : {FaultCase{"broken", broken, "article_article.htm Not Found!）"},
                               FaultCase{"missing", missing, "（HTTP 404）"}}) {
        SCOPED_TRACE(c.name);
        logLines.clear();
        const LiveCheckReport report = publishAndCheck(2, c.faults);
        EXPECT_EQ(report.confirmed, 0);
        EXPECT_EQ(report.failed, 2);
        EXPECT_TRUE(report.homePageFailed);
        const std::vector<std::string> lines = warnings();
        ASSERT_EQ(lines.size(), 3u);
        EXPECT_TRUE(lines[0].starts_with("前台检查未通过：前台 & 检查 1（")) << lines[0];
        EXPECT_NE(lines[0].find(c.reason), std::string::npos) << lines[0];
        EXPECT_NE(lines[0].find(" http://"), std::string::npos) << lines[0];
        EXPECT_TRUE(lines[2].starts_with("前台检查未通过：主页（")) << lines[2];
        EXPECT_EQ(logTexts().back(), "前台确认 0 篇，未通过 2 篇");
    }
}

// The newest article of the run not on the category's first list page (the list was not made
// again after it) fails; its page alone is right.
TEST_P(LiveCheckTest, TheNewestArticleMissingFromTheListFails) {
    AdminSession session{utf8Site, requester};
    const MadePages made = regenerateSite(session, context, {2}, 1, false);
    content::ArticleDraft draft;
    draft.title = "列表页之后发布";
    draft.typeId = 2;
    const SubmitResult result = submitArticle(session, context, draft, pools, 1, &tracking);
    ASSERT_TRUE(result.published());
    const LiveCheckReport report =
        checkLive(session, context, {{draft.title, result.address, 2, {}}}, made, 1);
    EXPECT_EQ(report.failed, 1);
    ASSERT_EQ(warnings().size(), 1u);
    EXPECT_NE(warnings()[0].find("（栏目列表页中没有本文）"), std::string::npos) << warnings()[0];
}

// A picture of the article that does not answer with an image fails it; none is fetched when the
// article's own page failed.
TEST_P(LiveCheckTest, APictureThatDoesNotShowFailsItsArticle) {
    AdminSession session{utf8Site, requester};
    content::ArticleDraft draft;
    draft.title = "带图片的文章";
    draft.typeId = 2;
    const SubmitResult result = submitArticle(session, context, draft, pools, 1, &tracking);
    ASSERT_TRUE(result.published());
    const std::string picture = installUrl(utf8Site, "uploads/allimg/none.png");
    const LiveCheckReport report =
        checkLive(session, context, {{draft.title, result.address, 2, {picture}}}, MadePages{}, 1);
    EXPECT_EQ(report.failed, 1);
    EXPECT_EQ(report.requests, 2);
    ASSERT_EQ(warnings().size(), 1u);
    EXPECT_NE(warnings()[0].find("（图片无法显示：" + picture + "，HTTP 404） " + picture), std::string::npos)
        << warnings()[0];
}

INSTANTIATE_TEST_SUITE_P(Releases, LiveCheckTest, test::kEveryRelease, test::releaseName);

std::string capturedAnswer(const char* name) {
    return test::readBytes(std::filesystem::path(OZ_SOURCE_DIR) / "tests" / "backend" / "answers" / name);
}

// What the real back ends write for a template they cannot read, and pages without a fault.
TEST(TemplateFault, NamesTheBackEndsOwnText) {
    // DedeBIZ 6.2.10's home page made with its default templet setting, which names no file.
    const std::string index = capturedAnswer("biz-index-notfound.html");
    ASSERT_FALSE(index.empty());
    EXPECT_EQ(templateFault(index), "/var/www/dedebiz6/theme/default/index.htm Not Found!");
    // Its back end's answer to that regeneration carries the success text and no fault.
    EXPECT_EQ(templateFault(capturedAnswer("biz-makehtml_homepage-notfound.html")), "");
    const struct {
        const char* page;
        const char* fault;
    } cases[] = {
        {"模板文件不存在，无法解析文档！",
         "模板文件不存在，无法解析文档！"},  // 5.7's list and article classes
        {"栏目：技术文章，主题模板文件不存在，无法更新栏目",
         "栏目：技术文章，主题模板文件不存在，无法更新栏目"},
        {" Template Not Found! ", "Template Not Found!"},
        {"<html><body><h1>Not Found! 的用法</h1></body></html>", ""},  // a page that mentions it
        {"<html><body>文章正文</body></html>", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(templateFault(c.page), c.fault) << c.page;
}

// The list action's link to what it made, as the first list page of the category.
TEST(FirstListPageAddress, IsTheFirstStaticPage) {
    config::SiteConfig site;
    site.domain = "example.com:8081/s1";
    site.adminDir = "dede";
    const struct {
        const char* href;
        const char* address;
    } cases[] = {
        {"/a/news/index.html", "http://example.com:8081/a/news/index.html"},
        {"/a/news/list_2_3.html", "http://example.com:8081/a/news/list_2_1.html"},
        {"/a/news/list_12_1.html", "http://example.com:8081/a/news/list_12_1.html"},
        {"http://www.example.com/a/news/", "http://www.example.com/a/news/"},
        {"../a/news/", "http://example.com:8081/s1/a/news/"},
        {"../plus/list.php?tid=2", ""},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(firstListPageAddress(site, c.href), c.address) << c.href;
}

}  // namespace
}  // namespace oz::backend
