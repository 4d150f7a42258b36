#include "http/request_rules.h"

#include <gtest/gtest.h>

#include <map>

namespace oz::http {
namespace {

std::string headerValue(const RequestPlan& plan, std::string_view name) {
    for (const HeaderLine& line : plan.headers) {
        if (line.name == name) return line.value;
    }
    return "<absent>";
}

TEST(RequestRules, NormalizeUrl) {
    EXPECT_EQ(normalizeUrl("www.a.com/dede/login.php#top"), "http://www.a.com/dede/login.php");
    EXPECT_EQ(normalizeUrl("https://a.com/x?y=1"), "https://a.com/x?y=1");
    EXPECT_EQ(normalizeUrl("HTTP://a.com/"), "HTTP://a.com/");
    EXPECT_EQ(normalizeUrl("#only"), "http://");
}

// The content type of the caller's extra lines replaces the default in both profiles.
TEST(RequestRules, ExtraContentTypeSuppressesTheDefault) {
    for (int profile : {kProfile0, kProfile1}) {
        PageRequest request;
        request.accessMethod = profile;
        request.url = "a.com/p";
        request.postText = "x=1";
        request.extraHeaders = "Content-Type: multipart/form-data; boundary=b";
        const RequestPlan plan = planRequest(request, "", "");
        int count = 0;
        for (const HeaderLine& line : plan.headers) count += line.name == "Content-Type";
        EXPECT_EQ(count, 1) << profile;
        EXPECT_EQ(headerValue(plan, "Content-Type"), "multipart/form-data; boundary=b") << profile;
    }
}

TEST(RequestRules, ProfileDefaults) {
    PageRequest request;
    request.url = "a.com/p";
    request.referer = "b.com/from";
    request.accessMethod = kProfile1;
    RequestPlan plan = planRequest(request, "", "");
    EXPECT_EQ(headerValue(plan, "Referer"), "http://b.com/from");
    EXPECT_EQ(headerValue(plan, "Accept"), "<absent>");
    EXPECT_FALSE(plan.cookieText.has_value());
    EXPECT_FALSE(plan.post);

    request.accessMethod = kProfile0;
    plan = planRequest(request, "", "");
    EXPECT_EQ(headerValue(plan, "Referer"), "b.com/from");
    EXPECT_EQ(headerValue(plan, "Content-Type"), "<absent>");  // GET without a type
    EXPECT_TRUE(plan.storeCookies);

    request.contentType = "text/plain";
    EXPECT_EQ(headerValue(planRequest(request, "", ""), "Content-Type"), "text/plain");
}

struct CookieCase {
    int profile;
    std::string cookies;
    std::string store;
    std::optional<std::string> cookieText;  // profile 1
    std::string cookieHeader;               // profile 0; "<absent>" when the shared store is used
    std::string cookiesUsed;
};

class CookieRules : public ::testing::TestWithParam<CookieCase> {};

TEST_P(CookieRules, ChoosesWhatIsSent) {
    const CookieCase& c = GetParam();
    PageRequest request;
    request.accessMethod = c.profile;
    request.url = "a.com";
    request.cookies = c.cookies;
    const RequestPlan plan = planRequest(request, c.store, "");
    EXPECT_EQ(plan.cookiesUsed, c.cookiesUsed);
    if (c.profile == kProfile1) {
        EXPECT_EQ(plan.cookieText, c.cookieText);
        EXPECT_EQ(headerValue(plan, "Cookie"), "<absent>");
    } else {
        EXPECT_EQ(headerValue(plan, "Cookie"), c.cookieHeader);
        EXPECT_EQ(plan.storeCookies, c.cookieHeader == "<absent>");
    }
}

INSTANTIATE_TEST_SUITE_P(BothProfiles, CookieRules,
                         ::testing::Values(CookieCase{kProfile1, "", "", std::nullopt, "", ""},
                                           CookieCase{kProfile1, "", "s=1", "s=1", "", "s=1"},
                                           CookieCase{kProfile1, "a=2", "s=1", "a=2", "", "a=2"},
                                           CookieCase{kProfile1, "-1", "s=1", "", "", "-1"},
                                           CookieCase{kProfile0, "", "", std::nullopt, "<absent>", ""},
                                           CookieCase{kProfile0, "", "s=1", std::nullopt, "s=1", "s=1"},
                                           CookieCase{kProfile0, "-1", "", std::nullopt, "", "-1"}));

TEST(RequestRules, ForgedClientAddress) {
    const std::string ip = randomIpv4();
    int dots = 0;
    for (char c : ip) dots += c == '.';
    EXPECT_EQ(dots, 3);
    for (int profile : {kProfile0, kProfile1}) {
        PageRequest request;
        request.accessMethod = profile;
        request.url = "a.com";
        request.fakeClientIp = true;
        const RequestPlan plan = planRequest(request, "", "1.2.3.4");
        EXPECT_EQ(headerValue(plan, "X-Forward-For"), "1.2.3.4");
        EXPECT_EQ(headerValue(plan, "X-Forwarded-For"), "1.2.3.4");
        EXPECT_EQ(headerValue(plan, "REMOTE_ADDR"), "1.2.3.4");
    }
}

TEST(RequestRules, LineBreaksInValuesCannotAddHeaders) {
    for (int profile : {kProfile0, kProfile1}) {
        PageRequest request;
        request.accessMethod = profile;
        request.url = "a.com";
        request.userAgent = "UA\r\nX-Injected: 1";
        request.cookies = "a=1\r\nX-Injected: 2";
        const RequestPlan plan = planRequest(request, "", "");
        for (const HeaderLine& line : plan.headers) {
            EXPECT_EQ(line.value.find('\n'), std::string::npos) << line.name;
            EXPECT_NE(line.name, "X-Injected");
        }
        EXPECT_EQ(plan.cookieText.value_or("").find('\n'), std::string::npos);
    }
}

TEST(RequestRules, RefererNoMarkerDropsTheReferer) {
    PageRequest request;
    request.url = "a.com";
    request.extraHeaders = "RefererNo\r\nX-A: 1";
    const RequestPlan plan = planRequest(request, "", "");
    EXPECT_EQ(headerValue(plan, "Referer"), "<absent>");
    EXPECT_EQ(headerValue(plan, "X-A"), "1");
}

struct LimitCase {
    int profile;
    double seconds;
    bool synchronous;
    TimeLimits expected;
};

class TimeLimitRules : public ::testing::TestWithParam<LimitCase> {};

TEST_P(TimeLimitRules, Match) {
    const LimitCase& c = GetParam();
    const TimeLimits got = timeLimits(c.profile, c.seconds, c.synchronous);
    EXPECT_EQ(got.connectMs, c.expected.connectMs);
    EXPECT_EQ(got.idleSeconds, c.expected.idleSeconds);
    EXPECT_EQ(got.totalMs, c.expected.totalMs);
}

INSTANTIATE_TEST_SUITE_P(BothProfiles, TimeLimitRules,
                         ::testing::Values(LimitCase{kProfile0, 0, false, {0, 0, 120000}},
                                           LimitCase{kProfile0, 2.5, false, {0, 0, 2500}},
                                           // a negative wait used to end every request at once
                                           LimitCase{kProfile0, -1, false, {0, 0, 120000}},
                                           LimitCase{kProfile1, 0, false, {20000, 120, 120000}},
                                           LimitCase{kProfile1, 0.5, true, {20000, 120, 0}},
                                           LimitCase{kProfile1, 5, false, {5000, 5, 5000}},
                                           LimitCase{kProfile1, 5, true, {5000, 5, 0}},
                                           LimitCase{kProfile1, -1, false, {60000, 30, 120000}}));

struct ProxyCase {
    std::string proxy;
    std::string url;
    std::map<std::string, std::string> environment;
    ProxyMode mode;
    std::string expectedProxy;
    std::string noProxy;
};

class ProxyRules : public ::testing::TestWithParam<ProxyCase> {};

TEST_P(ProxyRules, Choose) {
    const ProxyCase& c = GetParam();
    const EnvironmentLookup environment = [&](const char* name) -> std::optional<std::string> {
        const auto it = c.environment.find(name);
        if (it == c.environment.end()) return std::nullopt;
        return it->second;
    };
    const ProxyChoice choice = chooseProxy(c.proxy, c.url, environment);
    EXPECT_EQ(choice.mode, c.mode);
    EXPECT_EQ(choice.proxy, c.expectedProxy);
    EXPECT_EQ(choice.noProxy, c.noProxy);
}

INSTANTIATE_TEST_SUITE_P(
    Choices, ProxyRules,
    ::testing::Values(ProxyCase{"", "a.com", {{"http_proxy", "p:1"}}, ProxyMode::Direct, "", ""},
                      ProxyCase{"-1", "a.com", {}, ProxyMode::TransportDefault, "", ""},
                      ProxyCase{"10.0.0.1:8080",
                                "https://a.com",
                                {{"https_proxy", "p:1"}},
                                ProxyMode::Named,
                                "10.0.0.1:8080",
                                ""},
                      ProxyCase{"IE",
                                "a.com",
                                {{"http_proxy", "p:1"}, {"no_proxy", "localhost"}},
                                ProxyMode::Named,
                                "p:1",
                                "localhost"},
                      ProxyCase{"IE", "a.com", {{"HTTP_PROXY", "p:1"}}, ProxyMode::Direct, "", ""},
                      ProxyCase{"IE",
                                "https://a.com",
                                {{"http_proxy", "p:1"}, {"HTTPS_PROXY", "s:2"}},
                                ProxyMode::Named,
                                "s:2",
                                ""},
                      ProxyCase{"IE", "a.com", {{"ALL_PROXY", "all:3"}}, ProxyMode::Named, "all:3", ""},
                      ProxyCase{"IE", "a.com", {{"http_proxy", ""}}, ProxyMode::Direct, "", ""}));

TEST(RequestRules, AnswerHeaders) {
    const std::string headers =
        "HTTP/1.1 200 OK\r\nContent-Type: text/html; Charset=\"UTF-8\"\r\nSet-Cookie: a=1; path=/\r\n"
        "set-cookie: b=2\r\n\r\n";
    EXPECT_TRUE(headersDeclareUtf8(headers));
    EXPECT_FALSE(headersDeclareUtf8("Content-Type: text/html; charset=gbk\r\n"));
    EXPECT_EQ(headerCharsetCode(headers), 2);
    EXPECT_EQ(headerCharsetCode("Content-Type: text/html; charset=GB2312\r\n"), 1);
    EXPECT_EQ(headerCharsetCode("Content-Type: text/html\r\n"), 0);
    EXPECT_EQ(cookieStoreFromHeaders(headers), "a=1; path=/; b=2");
    const auto pairs = setCookiePairs(headers + "Set-Cookie: novalue\r\n");
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0], (std::pair<std::string, std::string>{"a", "1"}));
    EXPECT_EQ(pairs[1], (std::pair<std::string, std::string>{"b", "2"}));
}

}  // namespace
}  // namespace oz::http
