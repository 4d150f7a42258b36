#include "testing/standin_server.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>

#include "testing/standin_gzip.h"
#include "text/charset.h"

namespace oz::testing {
namespace {

// A client that keeps cookies the way a browser does for one site.
class Browser {
   public:
    explicit Browser(int port) : m_client("127.0.0.1", port) {
        m_client.set_decompress(false);
        m_client.set_read_timeout(10, 0);
    }

    httplib::Result get(const std::string& target) { return remember(m_client.Get(target, cookieHeader())); }
    httplib::Result post(const std::string& target, const std::string& body) {
        return remember(m_client.Post(target, cookieHeader(), body, "application/x-www-form-urlencoded"));
    }
    // The three requests of a login, as the client sends them.
    std::string login(const std::string& site, const std::string& body) {
        get("/" + site + "/dede");
        get("/" + site + "/include/vdimgck.php");
        auto result = post("/" + site + "/dede/login.php", body);
        return result ? result->body : std::string();
    }
    httplib::Client& client() { return m_client; }

   private:
    httplib::Headers cookieHeader() const {
        std::string header;
        for (const auto& [name, value] : m_cookies)
            header += (header.empty() ? "" : "; ") + name + "=" + value;
        return header.empty() ? httplib::Headers{} : httplib::Headers{{"Cookie", header}};
    }
    httplib::Result remember(httplib::Result result) {
        if (!result) return result;
        const auto range = result->headers.equal_range("Set-Cookie");
        for (auto it = range.first; it != range.second; ++it) {
            const std::string pair = it->second.substr(0, it->second.find(';'));
            const auto eq = pair.find('=');
            m_cookies[pair.substr(0, eq)] = pair.substr(eq + 1);
        }
        return result;
    }

    httplib::Client m_client;
    std::map<std::string, std::string> m_cookies;
};

const std::string kLoginBody =
    "userid=admin&pwd=secret&gotopage=%2Fdede%2Findex.php&dopost=login&adminstyle=newdedecms";

// The target of a progress page's continuation link, as the back end writes it.
std::string continuation(const std::string& page) {
    const auto end = page.find("'>如果你的浏览器没反应");
    if (end == std::string::npos) return {};
    const auto start = page.rfind("<a href='", end);
    return start == std::string::npos ? std::string() : page.substr(start + 9, end - start - 9);
}

class StandinServerTest : public ::testing::Test {
   protected:
    void SetUp() override {
        StandinSite utf8;
        utf8.password = "secret";
        ASSERT_TRUE(server.addSite(utf8));
        StandinSite gbk;
        gbk.prefix = "g";
        gbk.user = "管理员";
        gbk.password = "密码";
        gbk.charset = oz::text::Charset::Gbk;
        ASSERT_TRUE(server.addSite(gbk));
        ASSERT_TRUE(server.start());
    }
    void TearDown() override { server.stop(); }

    Browser loggedIn() {
        Browser browser(server.port());
        EXPECT_NE(browser.login("s1", kLoginBody).find("成功"), std::string::npos);
        return browser;
    }
    // Follows a progress chain from its first page; returns the last page and the number of pages.
    std::pair<std::string, int> followChain(Browser& browser, std::string target, int bound = 100) {
        std::string page;
        int pages = 0;
        while (!target.empty() && pages < bound) {
            auto result = browser.get(target);
            page = result ? result->body : std::string();
            ++pages;
            const std::string next = continuation(page);
            target = next.empty() ? std::string() : "/s1/dede/" + next;
        }
        return {page, pages};
    }

    StandinServer server;
};

TEST_F(StandinServerTest, FirstRequestsRedirectAndOpenTheSession) {
    Browser browser(server.port());
    auto folder = browser.get("/s1/dede");
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->status, 301);
    EXPECT_EQ(folder->get_header_value("Location"), "http://" + server.hostAndPort() + "/s1/dede/");
    EXPECT_FALSE(folder->has_header("Set-Cookie"));

    auto index = browser.get("/s1/dede/");
    ASSERT_TRUE(index);
    EXPECT_EQ(index->status, 302);
    // The library's client percent-decodes header values; on the wire this is "%2Fs1%2Fdede%2F".
    EXPECT_EQ(index->get_header_value("location"), "login.php?gotopage=/s1/dede/");
    EXPECT_EQ(index->get_header_value("Set-Cookie").rfind("PHPSESSID=", 0), 0u);
    EXPECT_NE(index->get_header_value("Set-Cookie").find("path=/s1/"), std::string::npos);

    auto form = browser.get("/s1/dede/login.php?gotopage=%2Fs1%2Fdede%2F");
    ASSERT_TRUE(form);
    EXPECT_NE(form->body.find("name=\"gotopage\" value=\"/s1/dede/\""), std::string::npos);
    EXPECT_EQ(server.backEndUrl("s1"), "http://" + server.siteDomain("s1") + "/dede");
}

TEST_F(StandinServerTest, LoginAnswers) {
    struct Case {
        const char* name;
        bool firstRequests;
        std::string body;
        bool refuse;
        const char* expected;
    };
    const Case cases[] = {
        {"right account", true, kLoginBody, false, "成功登录"},
        {"no session cookie", false, kLoginBody, false, "验证码不正确!"},
        {"wrong password", true, "userid=admin&pwd=wrong&dopost=login", false, "你的密码错误!"},
        {"unknown user", true, "userid=nobody&pwd=secret&dopost=login", false, "你的用户名不存在!"},
        {"refused by switch", true, kLoginBody, true, "你的密码错误!"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        StandinFaults faults;
        faults.refuseLogin = c.refuse;
        server.setFaults("s1", faults);
        Browser browser(server.port());
        const std::string answer =
            c.firstRequests ? browser.login("s1", c.body) : browser.post("/s1/dede/login.php", c.body)->body;
        EXPECT_NE(answer.find(c.expected), std::string::npos);
        EXPECT_EQ(answer.find("成功") != std::string::npos, std::string_view(c.expected) == "成功登录");
    }
    EXPECT_EQ(server.loginCount("s1"), 1);
}

TEST_F(StandinServerTest, PagesNeedALoggedInSession) {
    Browser browser(server.port());
    browser.get("/s1/include/vdimgck.php");  // a session, but not logged in
    auto page = browser.get("/s1/dede/article_add.php?channelid=1");
    ASSERT_TRUE(page);
    EXPECT_EQ(page->status, 302);
    EXPECT_EQ(page->get_header_value("location"), "login.php?gotopage=/s1/dede/article_add.php?channelid=1");
    EXPECT_EQ(page->body.find("typeid"), std::string::npos);
}

TEST_F(StandinServerTest, CategorySelectMarksEachLevel) {
    StandinSite deep;
    deep.prefix = "deep";
    deep.password = "secret";
    deep.categories = {{1, "新闻中心", 0, "{cmspath}/a/news"},
                       {2, "技术文章", 0, "{cmspath}/a/tech"},
                       {5, "北京", 3, "{cmspath}/a/news/guonei/bj"},
                       {3, "国内新闻", 1, "{cmspath}/a/news/guonei"}};
    ASSERT_TRUE(server.addSite(deep));
    Browser browser(server.port());
    ASSERT_NE(browser.login("deep", kLoginBody).find("成功"), std::string::npos);
    const std::string page = browser.get("/deep/dede/article_add.php?channelid=1")->body;
    const std::string expected =
        "<select name='typeid' id='typeid' style='width:240px'>\r\n"
        "<option value='0'>请选择栏目...</option>\r\n"
        "<option value='1' class='option3'>新闻中心</option>\r\n"
        "<option value='3' class='option3'>─国内新闻</option>\r\n"
        "<option value='5' class='option3'>──北京</option>\r\n"
        "<option value='2' class='option3'>技术文章</option>\r\n"
        "</select>";
    EXPECT_NE(page.find(expected), std::string::npos) << page;
}

TEST_F(StandinServerTest, ArticleIsStoredAndLinked) {
    Browser browser = loggedIn();
    const std::string body =
        "channelid=1&dopost=save&title=%E4%BD%A0%E5%A5%BD%20A+B&flags[]=h&flags[]=c&typeid=3&"
        "body=%3Cp%3Ex%26y%3C%2Fp%3E&filename=hello";
    const std::string answer = browser.post("/s1/dede/article_add.php", body)->body;
    EXPECT_NE(answer.find("<a href='/s1/a/news/guonei/hello.html' target='_blank'><u>查看文章</u></a>"),
              std::string::npos);
    EXPECT_NE(answer.find("height='200px' src='task_do.php?typeid=3&aid=1&dopost=makeprenext&nextdo='"),
              std::string::npos);

    const auto articles = server.articles("s1");
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].url, "/s1/a/news/guonei/hello.html");
    EXPECT_EQ(articles[0].field("title"), "你好 A B");
    EXPECT_EQ(articles[0].field("body"), "<p>x&y</p>");
    EXPECT_EQ(articles[0].fieldValues("flags[]"), (std::vector<std::string>{"h", "c"}));
    EXPECT_FALSE(articles[0].hasField("description"));

    const auto requests = server.requests("s1");
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().method, "POST");
    EXPECT_EQ(requests.back().path, "/s1/dede/article_add.php");
    EXPECT_EQ(requests.back().body, body);
    EXPECT_NE(requests.back().header("cookie").find("PHPSESSID="), std::string::npos);

    const auto view = browser.get("/s1/a/news/guonei/hello.html");
    EXPECT_EQ(view->status, 200);
    EXPECT_NE(view->body.find("你好 A B"), std::string::npos);
}

// The HTTP library refuses url-encoded bodies above 8 KiB unless the server reads them itself.
TEST_F(StandinServerTest, LongArticleBodiesArrive) {
    Browser browser = loggedIn();
    std::string text;
    for (int i = 0; i < 20000; ++i) text += "%E4%BD%A0";  // 你
    const auto answer =
        browser.post("/s1/dede/article_add.php", "channelid=1&dopost=save&typeid=1&body=" + text);
    ASSERT_TRUE(answer);
    EXPECT_NE(answer->body.find("<u>查看文章</u>"), std::string::npos);
    ASSERT_EQ(server.articles("s1").size(), 1u);
    EXPECT_EQ(server.articles("s1")[0].field("body").size(), 60000u);
}

TEST_F(StandinServerTest, RefusedArticles) {
    Browser browser = loggedIn();
    const std::pair<const char*, const char*> cases[] = {
        {"channelid=1&dopost=save&title=t", "请指定文档的栏目！"},
        {"channelid=1&dopost=save&title=t&typeid=99", "你所选择的栏目与当前模型不相符，请选择白色的选项！"},
        {"dopost=save&title=t&typeid=1", "文档为非指定的类型，请检查你发布内容的表单是否合法！"},
    };
    for (const auto& [body, text] : cases) {
        const std::string answer = browser.post("/s1/dede/article_add.php", body)->body;
        EXPECT_NE(answer.find(text), std::string::npos) << body;
        EXPECT_EQ(answer.find("<u>查看文章</u>"), std::string::npos) << body;
    }
    EXPECT_EQ(server.articleCount("s1"), 0u);
}

TEST_F(StandinServerTest, GbkSiteSpeaksGbk) {
    Browser browser(server.port());
    const std::string user = "%B9%DC%C0%ED%D4%B1";  // 管理员 in GBK
    const std::string password = "%C3%DC%C2%EB";    // 密码 in GBK
    const std::string answer = browser.login("g", "userid=" + user + "&pwd=" + password + "&dopost=login");
    EXPECT_NE(oz::text::gbkToUtf8(answer).find("成功登录"), std::string::npos);
    EXPECT_FALSE(oz::text::isValidUtf8(answer));

    auto form = browser.get("/g/dede/article_add.php?channelid=1");
    EXPECT_EQ(form->get_header_value("Content-Type"), "text/html; charset=gb2312");
    const auto text = oz::text::decode(form->body, oz::text::Charset::Gbk);
    ASSERT_TRUE(text);
    EXPECT_NE(text->find("charset=gb2312"), std::string::npos);
    EXPECT_NE(text->find("<option value='3' class='option3'>─国内新闻</option>"), std::string::npos);

    browser.post("/g/dede/article_add.php", "channelid=1&dopost=save&typeid=2&title=%C4%E3%BA%C3");  // 你好
    const auto articles = server.articles("g");
    ASSERT_EQ(articles.size(), 1u);
    EXPECT_EQ(articles[0].field("title"), "你好");
}

TEST_F(StandinServerTest, ProgressChainsEnd) {
    Browser browser = loggedIn();
    const auto [list, listPages] =
        followChain(browser, "/s1/dede/makehtml_list_action.php?maxpagesize=50&upnext=1&typeid=1");
    EXPECT_EQ(listPages, 2);  // category 1, then its child 3
    EXPECT_NE(list.find("完成所有栏目列表更新！<a href='/s1/a/news/guonei/index.html'"), std::string::npos);

    const auto [rss, rssPages] = followChain(browser, "/s1/dede/makehtml_rss_action.php?maxrecord=50");
    EXPECT_EQ(rssPages, 4);
    EXPECT_EQ(rss, "完成所有文件更新！");

    // The update-everything chain continues through location='...' (the client's way).
    std::string page = browser.post("/s1/dede/makehtml_all.php", "action=make&uptype=mkall&startid=0")->body;
    int pages = 1;
    for (; pages < 50; ++pages) {
        const auto start = page.find("location='");
        const std::string next = page.substr(start + 10, page.find('\'', start + 10) - start - 10);
        if (next == "javascript:;") break;
        page = browser.get("/s1/dede/" + next)->body;
    }
    EXPECT_NE(page.find("document.write(\"完成所有文件的更新！\")"), std::string::npos);
    EXPECT_EQ(pages, 8);  // as on a real back end: 4 steps, 3 list pages, the end
}

TEST_F(StandinServerTest, HomePageFormAndRewrite) {
    Browser browser = loggedIn();
    const std::string form = browser.get("/s1/dede/makehtml_homepage.php")->body;
    EXPECT_NE(form.find("<input name=\"templet\" type=\"text\" id=\"templet\" style=\"width:300\" "
                        "value=\"default/index.htm\">"),
              std::string::npos);
    EXPECT_NE(form.find("id=\"position\" value=\"../index.html\""), std::string::npos);
    const std::string answer =
        browser
            .post("/s1/dede/makehtml_homepage.php",
                  "Submit=%E6%9B%B4%E6%96%B0&dopost=make&position=..%2Fhome.html&saveset=1&templet=t%2Fi.htm")
            ->body;
    EXPECT_EQ(answer.rfind("成功更新主页HTML", 0), 0u);
    EXPECT_EQ(server.homePage("s1"), std::make_pair(std::string("t/i.htm"), std::string("../home.html")));
}

TEST_F(StandinServerTest, CatalogAndArchiveMaintenance) {
    Browser browser = loggedIn();
    const std::string edit = browser.get("/s1/dede/catalog_edit.php?id=3")->body;
    EXPECT_NE(edit.find("id=\"typedir\" value=\"{cmspath}/a/news/guonei\""), std::string::npos);

    const std::string added =
        browser
            .post("/s1/dede/catalog_add.php",
                  "dopost=save&reid=1&typename=%E4%BD%93%E8%82%B2&nextdir=%7Bcmspath%7D%2Fa%2Fnews"
                  "&typedir=sport&referpath=parent")
            ->body;
    EXPECT_NE(added.find("成功创建一个分类！"), std::string::npos);
    auto categories = server.categories("s1");
    ASSERT_EQ(categories.size(), 4u);
    EXPECT_EQ(categories.back().id, 4);
    EXPECT_EQ(categories.back().name, "体育");
    EXPECT_EQ(categories.back().parentId, 1);
    EXPECT_EQ(categories.back().typeDir, "{cmspath}/a/news/sport");

    for (int i = 0; i < 3; ++i)
        browser.post("/s1/dede/article_add.php", "channelid=1&dopost=save&typeid=2&title=t");
    browser.post("/s1/dede/archives_do.php", "fmdo=yes&dopost=delArchives&aid=1&qstr=1%602");
    EXPECT_EQ(server.articleCount("s1"), 1u);

    const std::string deleted = browser.post("/s1/dede/catalog_del.php", "dopost=ok&delfile=no&id=1")->body;
    EXPECT_NE(deleted.find("成功删除一个栏目！"), std::string::npos);
    categories = server.categories("s1");
    ASSERT_EQ(categories.size(), 1u);  // 1 went with its children 3 and 4
    EXPECT_EQ(categories[0].id, 2);
}

TEST_F(StandinServerTest, AnswerSwitches) {
    Browser browser = loggedIn();
    const std::string article = "channelid=1&dopost=save&typeid=1&title=t";
    StandinFaults faults;

    faults.omitSuccessText = true;
    server.setFaults("s1", faults);
    EXPECT_EQ(browser.post("/s1/dede/article_add.php", article)->body.find("查看文章"), std::string::npos);
    EXPECT_EQ(server.articleCount("s1"), 1u);  // stored all the same
    EXPECT_EQ(continuation(browser.get("/s1/dede/makehtml_rss_action.php?maxrecord=50")->body), "");

    faults = {};
    faults.serverError = true;
    server.setFaults("s1", faults);
    EXPECT_EQ(browser.get("/s1/dede/makehtml_homepage.php")->status, 500);

    faults = {};
    faults.garbageAnswers = true;
    server.setFaults("s1", faults);
    auto garbage = browser.post("/s1/dede/article_add.php", article);
    EXPECT_EQ(garbage->status, 200);
    EXPECT_EQ(garbage->body.find("查看文章"), std::string::npos);
    EXPECT_EQ(server.articleCount("s1"), 1u);

    faults = {};
    faults.gzipAnswers = true;
    server.setFaults("s1", faults);
    auto zipped = browser.post("/s1/dede/article_add.php", article);
    EXPECT_EQ(zipped->get_header_value("Content-Encoding"), "gzip");
    const auto unzipped = gzipDecompress(zipped->body);
    ASSERT_TRUE(unzipped);
    EXPECT_NE(unzipped->find("<u>查看文章</u>"), std::string::npos);

    faults = {};
    faults.delayMs = 300;
    server.setFaults("s1", faults);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(browser.get("/s1/dede/makehtml_homepage.php")->status, 200);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(300));
}

TEST_F(StandinServerTest, EndlessChainNeverEnds) {
    Browser browser = loggedIn();
    StandinFaults faults;
    faults.endlessChain = true;
    server.setFaults("s1", faults);
    for (const char* start :
         {"/s1/dede/makehtml_list_action.php?typeid=0&pageno=0",
          "/s1/dede/makehtml_rss_action.php?maxrecord=50", "/s1/dede/task_do.php?dopost=makeprenext"}) {
        EXPECT_EQ(followChain(browser, start, 40).second, 40) << start;
    }
}

TEST_F(StandinServerTest, SessionDroppedAfterArticles) {
    Browser browser = loggedIn();
    StandinFaults faults;
    faults.dropSessionAfterArticles = 2;
    server.setFaults("s1", faults);
    const std::string article = "channelid=1&dopost=save&typeid=1&title=t";
    EXPECT_EQ(browser.post("/s1/dede/article_add.php", article)->status, 200);
    EXPECT_EQ(browser.post("/s1/dede/article_add.php", article)->status, 200);
    EXPECT_EQ(browser.post("/s1/dede/article_add.php", article)->status, 302);
    EXPECT_EQ(server.articleCount("s1"), 2u);
    EXPECT_NE(browser.login("s1", kLoginBody).find("成功"), std::string::npos);
    EXPECT_EQ(browser.post("/s1/dede/article_add.php", article)->status, 200);
}

TEST_F(StandinServerTest, StopEndsANeverAnsweredRequest) {
    StandinFaults faults;
    faults.neverAnswer = true;
    server.setFaults("s1", faults);
    std::thread pending([port = server.port()] {
        httplib::Client client("127.0.0.1", port);
        client.set_read_timeout(30, 0);
        client.Get("/s1/dede");
    });
    while (server.requestCount() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    const auto before = std::chrono::steady_clock::now();
    server.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(3));
    EXPECT_FALSE(server.isRunning());
    pending.join();
}

TEST_F(StandinServerTest, StopDoesNotWaitForIdleKeepAliveConnections) {
    Browser browser(server.port());
    ASSERT_TRUE(browser.get("/s1/dede"));  // the connection stays open after the answer
    const auto before = std::chrono::steady_clock::now();
    server.stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(900));
    ASSERT_TRUE(server.start());  // and runs again, on a new port
    EXPECT_EQ(Browser(server.port()).get("/s1/dede")->status, 301);
}

TEST_F(StandinServerTest, RejectsClashingSitesAndSurvivesLongPaths) {
    EXPECT_FALSE(server.addSite(StandinSite{}));  // "s1" is taken
    StandinSite slashed;
    slashed.prefix = "/x/";
    EXPECT_FALSE(server.addSite(slashed));

    Browser browser(server.port());
    auto result = browser.get("/s1/" + std::string(8000, 'a'));
    ASSERT_TRUE(result);
    EXPECT_EQ(result->status, 404);
}

}  // namespace
}  // namespace oz::testing
