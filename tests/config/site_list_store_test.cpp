#include "config/site_list_store.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "settings_fixture.h"

namespace oz::config {
namespace {

namespace fs = std::filesystem;
using oz::test::readBytes;
using testing::gbk;

const fs::path kWindowsProfile = fs::path(OZ_SOURCE_DIR) / "tests/config/data/windows_profile";

class SiteListStore : public testing::SettingsFixture {};

// The file of a Windows installation (GBK, CR LF, markers, bools, a category block) loads into the
// right values, and saving what was loaded writes back the very same bytes.
TEST_F(SiteListStore, WindowsProfileRoundTripsByteForByte) {
    fs::copy(kWindowsProfile, m_dir.path(), fs::copy_options::recursive);
    const std::string iniBefore = readBytes(m_path);
    const fs::path ibn = m_dir / "inibin" / "站点序号_1-栏目数据.ibn";
    const std::string ibnBefore = readBytes(ibn);
    ASSERT_FALSE(iniBefore.empty());
    ASSERT_TRUE(m_file.open(m_path)) << m_file.lastError();

    RunOptions options = loadRunOptions(m_file);
    SiteList list;
    EXPECT_EQ(loadSiteList(m_file, list), 1);
    ASSERT_EQ(list.size(), 2);

    EXPECT_EQ(options.simultaneousSites, "8");
    EXPECT_TRUE(options.useGlobalCount);
    EXPECT_EQ(options.accessMethod, 1);
    EXPECT_EQ(options.importPath, "C:\\站点\\导入.ini");
    EXPECT_TRUE(options.retryOnFailure);
    EXPECT_TRUE(options.refreshXmlMap);
    EXPECT_FALSE(options.refreshXmlMapModule);
    EXPECT_TRUE(options.refreshSiteMapHtml);
    EXPECT_TRUE(options.scheduleCompleteListing);

    const SiteConfig& one = list.sites[0];
    EXPECT_TRUE(one.enabled);
    EXPECT_EQ(one.user, "管理员");
    EXPECT_EQ(one.domain, "www.廬山.com/news");
    EXPECT_EQ(one.charset, 1);
    EXPECT_EQ(one.keywordList, "关键词一\r\n关键词二\r\n[站点序号_2]\r\nkey=value");
    EXPECT_EQ(one.keywordMethod, 0);
    EXPECT_EQ(one.authorList, "佚名\r\n小编");
    EXPECT_TRUE(one.flagHeadline);
    EXPECT_FALSE(one.flagRecommended);
    EXPECT_TRUE(one.randomFlags);
    EXPECT_EQ(one.titleColor, 255);
    EXPECT_EQ(one.categoryTree, ibnBefore);
    EXPECT_EQ(one.categoryIds, "3,7,12");
    EXPECT_EQ(one.articleDir, "C:\\乗\\廬山\\文章");
    EXPECT_EQ(one.articleCount, 20);
    EXPECT_EQ(one.intervalMin, 0.01f);
    EXPECT_EQ(one.intervalMax, 0.03f);
    EXPECT_EQ(one.bodyKeywordList, "<a href=''http://www.廬山.com/''>庐山</a>\r\n黄山");
    EXPECT_EQ(one.tailBlockSeparator, "\\n分块符\\n");
    EXPECT_EQ(one.titleKeywordSeparator, "：");

    const SiteConfig& two = list.sites[1];
    EXPECT_FALSE(two.enabled);
    EXPECT_EQ(two.password, "pass|word");
    EXPECT_TRUE(two.https);
    EXPECT_EQ(two.categoryTree, "");
    EXPECT_EQ(two.intervalMax, 1.25f);

    list.current = 1;
    ASSERT_TRUE(globalSave(m_file, options, list)) << m_file.lastError();
    EXPECT_EQ(deleteStaleSiteSections(m_file, list.size()), 0);
    EXPECT_EQ(readBytes(m_path), iniBefore);
    EXPECT_EQ(readBytes(ibn), ibnBefore);
    EXPECT_FALSE(fs::exists(m_dir / "inibin" / "站点序号_2-栏目数据.ibn"));
}

TEST_F(SiteListStore, MissingKeysTakeTheirExplicitDefaults) {
    openWith("[站点配置]\r\n站点数=1\r\n[站点序号_1]\r\n域名=a.com\r\n目录=");
    SiteList list;
    EXPECT_EQ(loadSiteList(m_file, list), 0);
    ASSERT_EQ(list.size(), 1);
    const SiteConfig& site = list.sites[0];
    EXPECT_EQ(site.keywordMethod, 2);
    EXPECT_EQ(site.tagMethod, 1);
    EXPECT_EQ(site.shortTitleMethod, 1);
    EXPECT_EQ(site.shortTitleCountMin, 1);
    EXPECT_EQ(site.shortTitleCountMax, 3);
    EXPECT_EQ(site.titleKeywordPercent, 43);
    EXPECT_EQ(site.titleKeywordSeparator, "：");
    EXPECT_EQ(site.tailBlockSeparator, "分块符");
    EXPECT_EQ(site.adminDir, "dede");
    EXPECT_FALSE(site.enabled);
    EXPECT_EQ(site.keywordCountMax, 0);
    EXPECT_EQ(site.intervalMin, 0.0f);
}

TEST_F(SiteListStore, LoadAppendsWithoutCheckingDuplicates) {
    openWith("[站点配置]\r\n站点数=1\r\n现行项=-1\r\n[站点序号_1]\r\n域名=a.com\r\n用户=u");
    SiteList list;
    SiteConfig existing;
    existing.domain = "a.com";
    existing.user = "u";
    list.sites.push_back(existing);
    list.current = 0;
    EXPECT_EQ(loadSiteList(m_file, list), -1);
    EXPECT_EQ(list.size(), 2);
    EXPECT_EQ(list.current, 0);
}

TEST_F(SiteListStore, StaleSectionsAreDeletedUpToTheFirstGap) {
    openWith("");
    SiteList list;
    for (int i = 1; i <= 5; ++i) {
        SiteConfig site;
        site.domain = "site" + std::to_string(i) + ".com";
        list.sites.push_back(site);
    }
    ASSERT_TRUE(saveSiteList(m_file, list));
    m_file.setSection("站点序号_7");
    ASSERT_TRUE(m_file.writeText("域名", "orphan"));
    list.sites.resize(3);
    ASSERT_TRUE(saveSiteList(m_file, list));
    EXPECT_EQ(deleteStaleSiteSections(m_file, list.size()), 2);
    std::string text = m_file.text();
    EXPECT_NE(text.find("[站点序号_3]"), std::string::npos);
    EXPECT_EQ(text.find("[站点序号_4]"), std::string::npos);
    EXPECT_EQ(text.find("[站点序号_5]"), std::string::npos);
    EXPECT_NE(text.find("[站点序号_7]"), std::string::npos);  // past the gap at 6

    SiteList reloaded;
    loadSiteList(m_file, reloaded);
    EXPECT_EQ(reloaded.size(), 3);
}

TEST_F(SiteListStore, SavedSitesLoadBackEqual) {
    openWith("");
    SiteList list;
    SiteConfig site = initialSiteConfig();
    site.keywordList = "一\r\n二\r\n三";
    site.categoryTree = std::string("\0tree\xFF", 6);
    site.intervalMax = 2.5f;
    site.pinnedPublicKey = "sha256//abc=";
    list.sites.push_back(site);
    site.domain = "b.com";
    site.enabled = false;
    site.categoryTree.clear();
    site.pinnedPublicKey.clear();
    list.sites.push_back(site);
    list.current = 1;
    ASSERT_TRUE(saveSiteList(m_file, list));

    SettingsFile reopened;
    m_file.close();
    ASSERT_TRUE(reopened.open(m_path));
    SiteList loaded;
    EXPECT_EQ(loadSiteList(reopened, loaded), 1);
    ASSERT_EQ(loaded.size(), 2);
    EXPECT_EQ(loaded.sites[0], list.sites[0]);
    EXPECT_EQ(loaded.sites[1], list.sites[1]);

    // 证书公钥 is written where it is set or was set: a site without one adds no key, and a cleared
    // one does not come back.
    EXPECT_EQ(reopened.text().find("证书公钥"), reopened.text().rfind("证书公钥"));
    loaded.sites[0].pinnedPublicKey.clear();
    ASSERT_TRUE(saveSiteList(reopened, loaded));
    SiteList again;
    loadSiteList(reopened, again);
    EXPECT_EQ(again.sites[0].pinnedPublicKey, "");
}

TEST_F(SiteListStore, CheckMarkIsWrittenAtOnce) {
    openWith("[站点序号_2]\r\n启用=假\r\n域名=a.com");
    ASSERT_TRUE(saveSiteEnabled(m_file, 2, true));
    EXPECT_EQ(readBytes(m_path), gbk("[站点序号_2]\r\n启用=真\r\n域名=a.com"));
}

// What the program does not understand it keeps: a password whose bytes are not GBK goes back
// byte for byte, also when its site moves up a section.
TEST_F(SiteListStore, ValuesThatAreNotGbkAreWrittenBackByteForByte) {
    const std::string password = "p\xFF\x80w";  // no GBK reading
    oz::test::writeBytes(
        m_path, gbk("[站点配置]\r\n站点数=2\r\n[站点序号_1]\r\n域名=a.com\r\n[站点序号_2]\r\n密码=") +
                    password + "\r\n" + gbk("域名=b.com"));
    ASSERT_TRUE(m_file.open(m_path)) << m_file.lastError();
    SiteList list;
    loadSiteList(m_file, list);
    ASSERT_EQ(list.size(), 2);
    ASSERT_TRUE(saveSiteList(m_file, list));
    EXPECT_NE(readBytes(m_path).find("\r\n" + gbk("密码=") + password + "\r\n"), std::string::npos);

    list.sites.erase(list.sites.begin());
    ASSERT_TRUE(saveSiteList(m_file, list));
    deleteStaleSiteSections(m_file, list.size());
    EXPECT_EQ(loadSite(m_file, 1).domain, "b.com");
    EXPECT_NE(readBytes(m_path).find(gbk("密码=") + password + "\r\n"), std::string::npos);
}

// Lines ended by a bare LF (a hand-edited or copied section) are lines: no site is lost, and the
// save writes CR LF.
TEST_F(SiteListStore, SectionsWithBareLineFeedsLoseNoSite) {
    openWith(
        "[站点配置]\r\n站点数=3\r\n[站点序号_1]\r\n域名=a.com\r\n[站点序号_2]\n域名=b.com\n用户=u\n\n"
        "[站点序号_3]\r\n域名=c.com\n");
    SiteList list;
    loadSiteList(m_file, list);
    ASSERT_EQ(list.size(), 3);
    EXPECT_EQ(list.sites[1].domain, "b.com");
    EXPECT_EQ(list.sites[1].user, "u");
    EXPECT_EQ(list.sites[2].domain, "c.com");
    ASSERT_TRUE(saveSiteList(m_file, list));
    const std::string saved = readBytes(m_path);
    EXPECT_EQ(saved.find("b.com\r\n"), saved.find("b.com"));
    for (std::size_t lf = saved.find('\n'); lf != std::string::npos; lf = saved.find('\n', lf + 1)) {
        EXPECT_EQ(saved[lf - 1], '\r') << lf;
    }
}

// A huge or garbled 站点数 costs no more than the sections that exist, and a site without a
// section is not made up: 91 bytes claiming 100,000 sites once loaded 99,999 blank ones, and a
// one-line import then wrote a 105 MB file.
TEST_F(SiteListStore, HugeSiteCountLoadsOnlyTheSectionsThatExist) {
    openWith(
        "[站点配置]\r\n站点数=2000000000\r\n现行项=2\r\n[站点序号_1]\r\n域名=a.com\r\n[站点序号_3]\r\n"
        "域名=c.com");
    SiteList list;
    EXPECT_EQ(loadSiteList(m_file, list), 1);  // the current entry follows its site
    ASSERT_EQ(list.size(), 2);
    EXPECT_EQ(list.sites[1].domain, "c.com");

    openWith("[站点配置]\r\n站点数=100000\r\n现行项=5\r\n[站点序号_100000]\r\n域名=a.com\r\n用户=u");
    SiteList tiny;
    EXPECT_EQ(loadSiteList(m_file, tiny), -1);  // the current site has no section
    ASSERT_EQ(tiny.size(), 1);
    EXPECT_EQ(tiny.sites[0].domain, "a.com");
}

// An interval beyond the float range read as an infinity, which the next save wrote as "0".
TEST_F(SiteListStore, IntervalsBeyondTheFloatRangeKeepTheirSize) {
    openWith("[站点配置]\r\n站点数=1\r\n[站点序号_1]\r\n更新间隔1=1e39\r\n更新间隔2=-1e39");
    SiteList list;
    loadSiteList(m_file, list);
    ASSERT_EQ(list.size(), 1);
    EXPECT_EQ(list.sites[0].intervalMin, std::numeric_limits<float>::max());
    EXPECT_EQ(list.sites[0].intervalMax, -std::numeric_limits<float>::max());
    ASSERT_TRUE(saveSiteList(m_file, list));
    SiteList again;
    loadSiteList(m_file, again);
    EXPECT_EQ(again.sites, list.sites);
}

TEST_F(SiteListStore, MissingRunOptionsKeepTheWindowsInitialState) {
    openWith("[基本配置]\r\n同时站点数=3");
    RunOptions options = loadRunOptions(m_file);
    EXPECT_EQ(options.simultaneousSites, "3");
    EXPECT_EQ(options.cycleInterval, "0.01");
    EXPECT_TRUE(options.independentSites);
    EXPECT_FALSE(options.synchronousCycle);
    EXPECT_EQ(options.globalCount, "0");
}

}  // namespace
}  // namespace oz::config
