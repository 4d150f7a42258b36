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
    EXPECT_EQ(m_out.str(), "全部删除完成！\n" + host + " 已删除 1 批（已发送 1 批）\n\n\n(每批 100 篇)\n");
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

}  // namespace
}  // namespace oz::app
