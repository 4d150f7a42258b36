// Reading a site's category list through its back end, and the options the client reads.
#include <gtest/gtest.h>

#include "backend/category_tree.h"
#include "backend/run_settings.h"
#include "backend_fixture.h"

namespace oz::backend {
namespace {

class CategoryListTest : public test::BackendFixture {
   protected:
    void adjustSites(oz::testing::StandinSite&, oz::testing::StandinSite& gbk) override {
        gbk.categories.clear();
    }
};

TEST_F(CategoryListTest, ReadsTheTreeKeepingEarlierCheckMarks) {
    AdminSession utf8{utf8Site, requester};
    CategoryListResult result = readCategoryList(utf8, context, {2, 99});
    ASSERT_TRUE(result.loggedIn);
    EXPECT_EQ(result.attempts, 1);
    ASSERT_EQ(result.items.size(), 3u);
    EXPECT_EQ(result.items[1].displayText(), "国内新闻[3]");
    EXPECT_EQ(result.items[1].level, 2);
    EXPECT_EQ(checkedCategoryIds(result.items), "2");
    EXPECT_EQ(requestLines("s1").back(), "GET /s1/dede/article_add.php?channelid=1");
}

TEST_F(CategoryListTest, EmptyListIsReadThreeTimes) {
    AdminSession session{gbkSite, requester};
    std::vector<int> retries;
    CategoryListResult result =
        readCategoryList(session, context, {}, [&](int attempt) { retries.push_back(attempt); });
    EXPECT_TRUE(result.loggedIn);
    EXPECT_TRUE(result.items.empty());
    EXPECT_EQ(retries, (std::vector<int>{1, 2, 3}));
}

TEST_F(CategoryListTest, FailedLoginReadsNothing) {
    utf8Site.password = "nope";
    AdminSession session{utf8Site, requester};
    CategoryListResult result = readCategoryList(session, context);
    EXPECT_FALSE(result.loggedIn);
    EXPECT_EQ(result.attempts, 0);
    EXPECT_EQ(requestLines("s1").back(), "POST /s1/dede/login.php");
}

TEST(RunSettingsTest, ReadsTheBoxesLenientlyAndMapsTheMenuItems) {
    config::RunOptions options;
    options.cycleInterval = " 2.5s";
    options.simultaneousSites = "12个";
    options.globalCount = "abc";
    options.accessMethod = 1;
    options.refreshTxtMap = true;
    options.refreshSiteMapHtml = true;
    OptionsRunSettings settings(options);
    EXPECT_DOUBLE_EQ(settings.cycleIntervalSeconds(), 2.5);
    EXPECT_EQ(settings.simultaneousSites(), 12);
    EXPECT_EQ(settings.globalCount(), 0);
    EXPECT_EQ(settings.accessMethod(), 1);
    EXPECT_FALSE(settings.htmlAllCategories());
    settings.setHtmlAllCategories(true);
    EXPECT_TRUE(settings.htmlAllCategories());
    for (auto item : {CustomRefresh::SystemCache, CustomRefresh::XmlMapModule, CustomRefresh::XmlMap,
                      CustomRefresh::NextArticle, CustomRefresh::StaticTags, CustomRefresh::SinglePages,
                      CustomRefresh::FreeLists}) {
        EXPECT_FALSE(settings.customRefresh(item));
    }
    EXPECT_TRUE(settings.customRefresh(CustomRefresh::TxtMap));
    EXPECT_TRUE(settings.customRefresh(CustomRefresh::SiteMapHtml));
    EXPECT_DOUBLE_EQ(lenientReal("0.01"), 0.01);
    EXPECT_DOUBLE_EQ(lenientReal("-3"), -3);
    EXPECT_DOUBLE_EQ(lenientReal(""), 0);
}

}  // namespace
}  // namespace oz::backend
