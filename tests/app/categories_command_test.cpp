#include <gtest/gtest.h>

#include <filesystem>

#include "command_fixture.h"
#include "config/data_folder.h"
#include "testing/standin_server.h"

namespace oz::app {
namespace {

namespace fs = std::filesystem;

class CategoriesCommandTest : public test::CommandFixture {
   protected:
    void SetUp() override {
        oz::testing::StandinSite site;
        site.prefix = "s1";
        site.categories.push_back({4, "北京", 3, "{cmspath}/a/news/guonei/beijing"});
        ASSERT_TRUE(m_server.addSite(site));
        ASSERT_TRUE(m_server.start());
    }
    void TearDown() override { m_server.stop(); }

    void saveSite(const std::string& password, const std::string& checkedIds) {
        config::SiteConfig site;
        site.domain = m_server.siteDomain("s1");
        site.user = "admin";
        site.password = password;
        site.categoryIds = checkedIds;
        CommandFixture::saveSite(site);
    }

    int categories(std::vector<std::string> args) {
        args.insert(args.begin(), "categories");
        return runIn(m_dir.path(), std::move(args));
    }

    oz::testing::StandinServer m_server;
};

TEST_F(CategoriesCommandTest, PrintsTheTreeWithTheSitesCheckMarks) {
    saveSite("admin", "3,2");
    ASSERT_EQ(categories({"--site", "1"}), 0) << m_err.str();
    EXPECT_EQ(m_out.str(), "新闻中心[1]\n  国内新闻[3] [x]\n    北京[4]\n技术文章[2] [x]\n");
}

TEST_F(CategoriesCommandTest, LoginFailurePrintsTheMessageAndFails) {
    saveSite("wrong", "");
    EXPECT_EQ(categories({"--site=1"}), 1);
    EXPECT_EQ(m_out.str(), "");
    EXPECT_NE(m_err.str().find("登录失败，请检查是否正确填写了域名、用户名和密码\n\n失败记录已保存到软件目录"
                               "下的【登录失败.htm】中"),
              std::string::npos);
    EXPECT_TRUE(fs::exists(m_dir / config::kLoginFailureFile));
}

TEST_F(CategoriesCommandTest, RejectsBadArguments) {
    saveSite("admin", "");
    EXPECT_EQ(categories({}), 2);
    EXPECT_EQ(categories({"--site", "0"}), 2);
    EXPECT_EQ(categories({"--site", "2"}), 2);
    EXPECT_NE(m_err.str().find("不存在"), std::string::npos);
    EXPECT_EQ(categories({"--site", "1", "extra"}), 2);
}

}  // namespace
}  // namespace oz::app
