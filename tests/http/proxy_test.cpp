// Requests through a proxy: every one goes through it, and one that cannot never goes direct.

#include <gtest/gtest.h>

#include "http/http_requester.h"
#include "tests/http/test_servers.h"
#include "tests/support/forward_proxy.h"

namespace oz::http {
namespace {

// A password that appears nowhere else, so any text holding it leaked it.
constexpr const char* kSecret = "Vq9-proxy-pw-unique";

class ThroughProxy : public ::testing::Test {
   protected:
    void SetUp() override {
        m_site.server().Get("/page", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("page via " + req.get_header_value("X-Test-Proxy"), "text/plain");
        });
        m_site.server().Post("/post", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("posted " + req.body, "text/plain");
        });
        m_site.start();
    }

    PageAnswer request(const std::string& proxy, const std::string& path = "/page", std::string body = {}) {
        PageRequest request;
        request.accessMethod = kProfile1;
        request.url = m_site.url(path);
        request.postText = std::move(body);
        request.proxy = proxy;
        m_requester.setMaxConnectMs(1500);
        return m_requester.pageRequest(request);
    }

    TestServer m_site;
    HttpRequester m_requester;
};

TEST_F(ThroughProxy, EveryRequestGoesThroughTheProxyWithItsCredentials) {
    test::ForwardProxy proxy("A", "me", kSecret);
    const std::string address = std::string("http://me:") + kSecret + "@" + proxy.hostPort();
    EXPECT_EQ(request(address).text, "page via A");
    EXPECT_EQ(request(address, "/post", "x=1").text, "posted x=1");
    EXPECT_EQ(request(proxy.hostPort().insert(0, "http://me:Vq9%2Dproxy%2Dpw%2Dunique@")).text, "page via A");
    EXPECT_EQ(proxy.forwarded(), 3);
    EXPECT_EQ(m_site.seen().size(), 3u);
    // A plain request asks for a tunnel first; refused, the proxy carries it, and every later one.
    EXPECT_EQ(proxy.tunnelsRefused(), 1);
}

// Regression guard for the promise the setting makes: a proxy that cannot be used fails the request
// with a reason naming it, never its password, and nothing reaches the site directly.
TEST_F(ThroughProxy, AProxyThatCannotBeUsedFailsWithItsReasonAndNothingGoesDirect) {
    test::ForwardProxy guarded("B", "me", "right-one");
    test::BlackHoleListener blackHole;
    const std::string closed = "127.0.0.1:1";
    struct Case {
        std::string proxy;
        Failure failure;
        std::string reason;
    };
    const std::vector<Case> cases = {
        {"http://me:" + std::string(kSecret) + "@" + closed, Failure::ProxyUnreachable,
         "代理服务器无法连接：" + closed},
        {"socks5://me:" + std::string(kSecret) + "@" + closed, Failure::ProxyUnreachable,
         "代理服务器无法连接：" + closed},
        {"https://me:" + std::string(kSecret) + "@" + closed, Failure::ProxyUnreachable,
         "代理服务器无法连接：" + closed},
        {"http://me:" + std::string(kSecret) + "@127.0.0.1:" + std::to_string(blackHole.port()),
         Failure::ProxyUnreachable, "代理服务器无法连接：127.0.0.1:" + std::to_string(blackHole.port())},
        {"http://me:" + std::string(kSecret) + "@" + guarded.hostPort(), Failure::ProxyRefused,
         "代理服务器拒绝认证：" + guarded.hostPort()},
        {guarded.hostPort(), Failure::ProxyRefused, "代理服务器拒绝认证：" + guarded.hostPort()},
        {"http://me:" + std::string(kSecret) + "@127.0.0.1", Failure::ProxyInvalid, ""},
        {"ftp://me:" + std::string(kSecret) + "@127.0.0.1:21", Failure::ProxyInvalid, ""},
    };
    for (const Case& c : cases) {
        for (const std::string& body : {std::string(), std::string("x=1")}) {
            const PageAnswer answer = request(c.proxy, body.empty() ? "/page" : "/post", body);
            EXPECT_FALSE(answer.ok) << c.proxy;
            EXPECT_EQ(answer.failure, c.failure) << c.proxy << " " << answer.error;
            EXPECT_TRUE(cannotConnect(answer.failure));
            if (!c.reason.empty()) {
                EXPECT_EQ(failureReason(answer), c.reason);
            }
            if (c.failure == Failure::ProxyInvalid) {
                EXPECT_TRUE(failureReason(answer).starts_with("代理服务器格式不对："))
                    << failureReason(answer);
            }
            for (const std::string& text :
                 {answer.error, failureReason(answer), answer.text, answer.proxyName}) {
                EXPECT_EQ(text.find(kSecret), std::string::npos) << text;
            }
        }
    }
    EXPECT_TRUE(m_site.seen().empty());
    EXPECT_EQ(guarded.forwarded(), 0);
}

}  // namespace
}  // namespace oz::http
