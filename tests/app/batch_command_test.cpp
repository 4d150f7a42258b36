#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backend/batch_category_read.h"
#include "command_fixture.h"
#include "testing/standin_server.h"

namespace oz::app {
namespace {

namespace fs = std::filesystem;

class BatchCommand : public test::CommandFixture {
   protected:
    void SetUp() override {
        ASSERT_TRUE(server.addSite({}));
        ASSERT_TRUE(server.start());
        config::SiteConfig site = config::initialSiteConfig();
        site.domain = server.siteDomain("s1");
        site.password = "admin";
        saveSite(site);
    }
    int run(std::vector<std::string> args) {
        args.insert(args.begin(), "batch");
        return runIn(m_dir.path(), std::move(args));
    }
    oz::testing::StandinServer server;
};

TEST_F(BatchCommand, RunsEachOperationAgainstTheStandIn) {
    fs::path list = m_dir.write("list.txt", "新栏目\r\n\r\n");
    ASSERT_EQ(run({"create-categories", list.string(), "--parent", "1", "--parent-dir", ""}), 0)
        << m_err.str();
    const std::string host = server.siteDomain("s1");
    EXPECT_EQ(m_out.str(), "全部创建完成！\n" + host + " 成功 1 个；失败 0 个\n");
    EXPECT_EQ(server.categories("s1").back().typeDir, "{cmspath}/a/news/c4");

    ASSERT_EQ(run({"read-categories", "--check-all"}), 0) << m_err.str();
    config::SettingsFile file;
    ASSERT_TRUE(file.open(m_dir.path() / config::kSettingsFileName, config::SettingsFile::Mode::ReadOnly));
    file.setSection("站点序号_1");
    EXPECT_EQ(file.readText("栏目ID"), "1,3,4,2");
    EXPECT_EQ(backend::decodeCategoryTree(file.readBytes("栏目数据")).size(), 4u);
    file.close();

    ASSERT_EQ(run({"delete-categories", "--from", "4", "--to", "4", "--scope", "1"}), 0) << m_err.str();
    EXPECT_EQ(server.categories("s1").size(), 3u);
    ASSERT_EQ(run({"delete-articles", "--from", "1", "--to", "2", "--scope", "all"}), 0) << m_err.str();
    // The site holds no article: nothing is sent, and the report says so.
    EXPECT_EQ(m_out.str(),
              "全部删除完成！\n" + host +
                  " 已删除 0 批（已发送 0 批）；网站后台没有的 ID 2 个（未发送）\n\n\n(每批 100 篇)\n");
    ASSERT_EQ(run({"rewrite-homepage", "--template", "t/index.htm"}), 0) << m_err.str();
    EXPECT_EQ(server.homePage("s1").first, "t/index.htm");
}

TEST_F(BatchCommand, RefusesBadArgumentsAndAnswersHelp) {
    for (std::vector<std::string> args :
         {std::vector<std::string>{"delete-articles", "--from", "x", "--to", "2"},
          {"delete-articles", "--to", "2"},
          {"rewrite-homepage", "--scope", "7"},
          {"create-categories", "--mode", "odd", "f.txt"},
          {"wipe"}}) {
        EXPECT_EQ(run(args), 2) << args[0];
        EXPECT_FALSE(m_err.str().empty());
    }
    EXPECT_EQ(run({"read-categories", "--help"}), 0);
    EXPECT_NE(m_out.str().find("--scope"), std::string::npos);
}

// Regression: every batch action ended with status 0, even with "全部创建完成！" after a failed
// login, so a script could not tell.
class BatchExitStatus : public BatchCommand, public ::testing::WithParamInterface<std::vector<std::string>> {
   protected:
    // The stand-in's site under a second account, with the given password.
    void saveTwoSites(const std::string& firstPassword, const std::string& secondPassword) {
        config::SettingsFile file;
        ASSERT_TRUE(file.open(m_dir / config::kSettingsFileName)) << file.lastError();
        config::SiteList list;
        for (const std::string& password : {firstPassword, secondPassword}) {
            config::SiteConfig site = config::initialSiteConfig();
            site.domain = server.siteDomain("s1");
            site.user = list.sites.empty() ? "admin" : "admin2";
            site.password = password;
            list.sites.push_back(site);
        }
        ASSERT_TRUE(config::saveSiteList(file, list)) << file.lastError();
    }
    std::vector<std::string> args() {
        std::vector<std::string> args = GetParam();
        if (args[0] == "create-categories")
            args.insert(args.begin() + 1, m_dir.write("l.txt", "新栏目\r\n").string());
        args.insert(args.end(), {"--scope", "all"});
        return args;
    }
};

TEST_P(BatchExitStatus, IsOneWhenSomeSitesFailedAndThreeWhenAllDid) {
    saveTwoSites("admin", "wrong");
    EXPECT_EQ(run(args()), kSomeFailed) << m_out.str() << m_err.str();
    saveTwoSites("wrong", "wrong");
    EXPECT_EQ(run(args()), kNothingDone) << m_out.str() << m_err.str();
}

INSTANTIATE_TEST_SUITE_P(
    Operations, BatchExitStatus,
    ::testing::Values(std::vector<std::string>{"create-categories"},
                      std::vector<std::string>{"delete-categories", "--from", "3", "--to", "3"},
                      std::vector<std::string>{"delete-articles", "--from", "1", "--to", "1"},
                      std::vector<std::string>{"rewrite-homepage"},
                      std::vector<std::string>{"read-categories"}),
    [](const auto& info) {
        std::string name = info.param[0];
        std::erase(name, '-');
        return name;
    });

}  // namespace
}  // namespace oz::app
