// A run whose sites go through proxies: every request of a site takes its way, counted at the
// proxies and at the back end, and a proxy that cannot be used ends the site with its reason while
// nothing goes direct.

#include <gtest/gtest.h>

#include "engine/publish_run.h"
#include "engine_fixture.h"
#include "tests/support/forward_proxy.h"

namespace oz::engine::test {
namespace {

constexpr const char* kSecret = "Wn4-run-proxy-secret";

class ProxyRunTest : public EngineFixture {
   protected:
    // The requests of a site that came through the proxy named `name` ("" = direct).
    int requestsVia(const std::string& prefix, const std::string& name) const {
        int n = 0;
        for (const auto& request : server.requests(prefix))
            n += request.header("X-Test-Proxy") == name ? 1 : 0;
        return n;
    }
    // Every file of the data folder and every log line, for a secret that must not be in any.
    bool anywhereInData(const std::string& secret) const {
        for (const auto& entry : fs::recursive_directory_iterator(data.path())) {
            if (entry.is_regular_file() && readBytes(entry.path()).find(secret) != std::string::npos)
                return true;
        }
        for (const auto& entry : observer.entries()) {
            if (entry.text.find(secret) != std::string::npos) return true;
        }
        return false;
    }
};

TEST_F(ProxyRunTest, EverySiteRequestTakesItsOwnWay) {
    oz::test::ForwardProxy own("A", "me", kSecret);
    oz::test::ForwardProxy fallback("B");
    setOptions([&](config::RunOptions& o) { o.defaultProxy = "http://" + fallback.hostPort(); });
    std::vector<config::SiteConfig> sites{addSite("s1", 2), addSite("s2", 2), addSite("s3", 2, true)};
    for (auto& site : sites) {
        site.generateHtml = true;
        site.refreshHtmlMode = 1;
    }
    sites[0].proxy = "http://me:" + std::string(kSecret) + "@" + own.hostPort();
    sites[1].proxy = "";  // direct, whatever the default
    // sites[2] names none: the default
    const RunTotals totals = runToEnd(sites);

    ASSERT_EQ(totals.summary.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(totals.summary[i].actual, 2) << i;
    EXPECT_GT(server.requests("s1").size(), 5u);
    EXPECT_EQ(requestsVia("s1", "A"), static_cast<int>(server.requests("s1").size()));
    EXPECT_EQ(requestsVia("s2", ""), static_cast<int>(server.requests("s2").size()));
    EXPECT_EQ(requestsVia("s3", "B"), static_cast<int>(server.requests("s3").size()));
    EXPECT_EQ(own.forwarded(), static_cast<int>(server.requests("s1").size()));
    EXPECT_EQ(fallback.forwarded(), static_cast<int>(server.requests("s3").size()));
    EXPECT_GT(requestsTo("s1", "makehtml"), 0);
    EXPECT_FALSE(anywhereInData(kSecret));
}

TEST_F(ProxyRunTest, AProxyThatCannotBeUsedEndsItsSiteAndNothingGoesDirect) {
    oz::test::ForwardProxy guarded("G", "me", "the-right-one");
    std::vector<config::SiteConfig> sites{addSite("s1", 1), addSite("s2", 1), addSite("s3", 1),
                                          addSite("s4", 1)};
    sites[0].proxy = "socks5://me:" + std::string(kSecret) + "@127.0.0.1:1";
    sites[1].proxy = "http://me:" + std::string(kSecret) + "@" + guarded.hostPort();
    sites[3].proxy = "-1";  // edited into the file by hand: the transport's "environment decides"
    const RunTotals totals = runToEnd(sites);

    EXPECT_TRUE(server.requests("s1").empty());
    EXPECT_TRUE(server.requests("s2").empty());
    EXPECT_TRUE(server.requests("s4").empty());
    EXPECT_GT(observer.countStartingWith("登录失败，正在重试..（代理服务器格式不对：缺少端口", 4), 0);
    EXPECT_EQ(guarded.forwarded(), 0);
    EXPECT_GT(guarded.refused(), 0);
    EXPECT_GT(observer.countStartingWith("登录失败，正在重试..（代理服务器无法连接：127.0.0.1:1）", 1), 0);
    EXPECT_GT(observer.countStartingWith(
                  "登录失败，正在重试..（代理服务器拒绝认证：" + guarded.hostPort() + "）", 2),
              0);
    EXPECT_EQ(totals.summary.at(0).actual, 0);
    EXPECT_EQ(totals.summary.at(1).actual, 0);
    EXPECT_EQ(totals.summary.at(2).actual, 1);
    EXPECT_FALSE(anywhereInData(kSecret));
}

// A proxy that refuses the site in mid-run ends the site at that article: no retries, no new
// login through it, nothing direct.
TEST_F(ProxyRunTest, AProxyLostDuringTheRunEndsTheSiteAtOnce) {
    oz::test::ForwardProxy proxy("P");
    config::SiteConfig site = addSite("s1", 3);
    site.proxy = "http://" + proxy.hostPort();
    setOptions([](config::RunOptions& o) { o.retryOnFailure = true; });
    proxy.refuseAfter("article_add.php");
    const RunTotals totals = runToEnd({site});

    EXPECT_EQ(totals.summary.at(0).actual, 1);
    EXPECT_EQ(server.articles("s1").size(), 1u);
    EXPECT_EQ(observer.countStartingWith("代理服务器不能使用，本站停止发布"), 1);
    ASSERT_EQ(observer.countStartingWith("更新失败："), 1);
    for (const auto& entry : observer.entries()) {
        if (entry.text.starts_with("更新失败：")) {
            EXPECT_TRUE(entry.text.ends_with("（代理服务器拒绝认证：" + proxy.hostPort() + "）"))
                << entry.text;
        }
    }
    EXPECT_EQ(requestsVia("s1", "P"), static_cast<int>(server.requests("s1").size()));
}

}  // namespace
}  // namespace oz::engine::test
