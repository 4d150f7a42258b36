#include "config/site_import.h"

#include <gtest/gtest.h>

#include "config/site_line.h"

namespace oz::config {
namespace {

TEST(SiteLine, CutsIntoExactlyFifteenFields) {
    SiteLineFields three = splitSiteLine("a.com|u|p");
    EXPECT_EQ(three[0], "a.com");
    EXPECT_EQ(three[2], "p");
    for (int i = 3; i < kSiteLineFieldCount; ++i) EXPECT_EQ(three[static_cast<std::size_t>(i)], "");

    SiteLineFields twenty = splitSiteLine("1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17|18|19|20");
    EXPECT_EQ(twenty[14], "15");
    SiteLineFields spaced = splitSiteLine(" a.com | u ||");
    EXPECT_EQ(spaced[1], " u ");  // taken as they stand
    EXPECT_EQ(spaced[2], "");
}

TEST(SiteLine, EmptyFieldsComeFromTheWindow) {
    SiteConfig window = initialSiteConfig();
    window.keywordList = "窗口里的词";
    window.articleCount = 9;
    window.deleteAfterPublish = true;
    window.charset = 1;
    SiteConfig site = siteFromLine(splitSiteLine("http://a.com/|u|p"), window);
    EXPECT_EQ(site.domain, "a.com");
    EXPECT_EQ(site.charset, 0);  // fields 1-5 always come from the line
    EXPECT_EQ(site.adminDir, "dede");
    EXPECT_EQ(site.keywordList, "窗口里的词");
    EXPECT_EQ(site.articleCount, 9);
    EXPECT_TRUE(site.deleteAfterPublish);
    EXPECT_EQ(site.articleDir, window.articleDir);
    EXPECT_EQ(site.intervalMin, window.intervalMin);
    EXPECT_TRUE(site.enabled);
}

TEST(SiteLine, EveryFieldReachesItsTarget) {
    SiteConfig site =
        siteFromLine(splitSiteLine("b.com|user|pw|1|/admin/|D:\\文章|2|*.htm|12|真|0.5|1.5|真|真|真"),
                     initialSiteConfig());
    EXPECT_EQ(site.charset, 1);
    EXPECT_EQ(site.adminDir, "admin");
    EXPECT_EQ(site.articleDir, "D:\\文章");
    EXPECT_EQ(site.fileEncoding, 2);
    EXPECT_EQ(site.fileFilter, "*.htm");
    EXPECT_EQ(site.articleCount, 12);
    EXPECT_TRUE(site.deleteAfterPublish);
    EXPECT_EQ(site.intervalMin, 0.5f);
    EXPECT_EQ(site.intervalMax, 1.5f);
    EXPECT_TRUE(site.firstLineTitle);
    EXPECT_TRUE(site.paragraphTags);
    EXPECT_TRUE(site.https);
}

TEST(SiteLine, OnlyTheExactTrueTextIsTrue) {
    SiteConfig window = initialSiteConfig();
    window.https = true;
    for (const char* word : {"true", "1", "TRUE", "真 ", "假"}) {
        SiteConfig site = siteFromLine(splitSiteLine(std::string("a|b|c||||||||||||") + word), window);
        EXPECT_FALSE(site.https) << word;
    }
}

TEST(SiteImport, RefusesEmptyRequiredFieldsInOrder) {
    SiteList list;
    std::string problem;
    SiteConfig site;
    EXPECT_EQ(addSite(list, site, &problem), -1);
    EXPECT_EQ(problem, "域名不能为空！");
    site.domain = "a.com";
    EXPECT_EQ(addSite(list, site, &problem), -1);
    EXPECT_EQ(problem, "用户不能为空！");
    site.user = "u";
    EXPECT_EQ(addSite(list, site, &problem), -1);
    EXPECT_EQ(problem, "密码不能为空！");
    site.password = "p";
    EXPECT_EQ(addSite(list, site, &problem), 0);
    EXPECT_TRUE(list.sites[0].enabled);
    EXPECT_EQ(list.current, 0);
}

TEST(SiteImport, ModifyKeepsTheCheckMarkAndAllowsTheSameIdentity) {
    SiteList list;
    SiteConfig site = initialSiteConfig();
    ASSERT_EQ(addSite(list, site), 0);
    site.domain = "b.com";
    ASSERT_EQ(addSite(list, site), 1);
    list.sites[0].enabled = false;

    SiteConfig changed = list.sites[0];
    changed.password = "new";
    changed.enabled = true;
    EXPECT_EQ(modifySite(list, 0, changed), 0);
    EXPECT_FALSE(list.sites[0].enabled);
    EXPECT_EQ(list.sites[0].password, "new");

    changed.domain = "b.com";
    std::string problem;
    EXPECT_EQ(modifySite(list, 0, changed, &problem), -1);
    EXPECT_NE(problem.find("b.com(admin)"), std::string::npos);
    EXPECT_EQ(modifySite(list, -1, changed, &problem), -1);
    EXPECT_EQ(problem, "请先选定一个站点配置再修改！");
}

TEST(SiteImport, BulkImportRefusesDuplicatesAndBadLines) {
    SiteList list;
    SiteConfig existing = initialSiteConfig();
    existing.domain = "old.com";
    existing.user = "u";
    ASSERT_EQ(addSite(list, existing), 0);

    const std::string text =
        "a.com|u|p\r\n"
        "a.com|u|p\r\n"          // identical: refused
        "a.com|u2|p\r\n"         // another user: a different site
        "http://a.com/|u|x\r\n"  // same identity once normalised, other password: refused
        "old.com|u|p\r\n"        // already in the list
        "b.com||p\r\n"
        "c.com|u|p|5\r\n"  // no such character set
        "\r\n"
        "d.com|u|p|1|cms";
    BulkImportResult result = bulkImportSites(list, text, initialSiteConfig());
    EXPECT_EQ(result.imported, 3);
    EXPECT_EQ(result.failedLines, (std::vector<std::string>{"a.com|u|p", "http://a.com/|u|x", "old.com|u|p",
                                                            "b.com||p", "c.com|u|p|5"}));
    // Each refusal keeps its reason, and the blank line is counted, not lost.
    ASSERT_EQ(result.failureReasons.size(), 5u);
    EXPECT_EQ(result.failureReasons[0], "网站列表中已存在相同的‘域名(用户名)’：a.com(u)");
    EXPECT_EQ(result.failureReasons[3], "用户不能为空！");
    EXPECT_EQ(result.blankLines, 1);
    const std::string shown = bulkImportFailures(result, "\n");
    EXPECT_TRUE(
        shown.starts_with("a.com|u|******（网站列表中已存在相同的‘域名(用户名)’：a.com(u)）\n"
                          "http://a.com/|u|******（"))
        << shown;
    EXPECT_EQ(shown.find("|p"), std::string::npos);  // no password shown
    ASSERT_EQ(list.size(), 4);
    EXPECT_EQ(siteLabel(list.sites[1]), "a.com(u)");
    EXPECT_EQ(siteLabel(list.sites[2]), "a.com(u2)");
    EXPECT_EQ(list.sites[3].adminDir, "cms");
    EXPECT_EQ(list.sites[3].charset, 1);
    EXPECT_EQ(list.current, 3);
    EXPECT_EQ(bulkImportSummary(result, list),
              "导入完成：导入了 3 个站点，现在总共有 4 个站点（跳过了 1 个空行）");
}

TEST(SiteImport, LinesMayEndWithLineFeedOnly) {
    SiteList list;
    BulkImportResult result = bulkImportSites(list, "a.com|u|p\nb.com|u|p\n", initialSiteConfig());
    EXPECT_EQ(result.imported, 2);
    EXPECT_TRUE(result.failedLines.empty());
    EXPECT_EQ(list.sites[1].domain, "b.com");
}

TEST(SiteImport, StopEndsTheImportBeforeTheNextLine) {
    SiteList list;
    std::atomic<bool> stop{true};
    BulkImportResult result = bulkImportSites(list, "a.com|u|p", initialSiteConfig(), &stop);
    EXPECT_TRUE(result.stopped);
    EXPECT_EQ(list.size(), 0);
}

}  // namespace
}  // namespace oz::config
