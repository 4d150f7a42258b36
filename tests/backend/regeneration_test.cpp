// Static page regeneration against the stand-in back end: the request sequences for the option
// combinations, the bounded loops and the home page with and without overrides.
#include "backend/regeneration.h"

#include <gtest/gtest.h>

#include "backend/batch_site_loop.h"
#include "backend/progress_pages.h"
#include "backend/site_form.h"
#include "backend_fixture.h"
#include "tests/http/test_servers.h"

namespace oz::backend {
namespace {

class RegenerationTest : public test::BackendFixture {
   protected:
    void SetUp() override {
        BackendFixture::SetUp();
        ASSERT_TRUE(loginTo(utf8Site));
        server.clearRequests();
    }

    void setOptions(bool htmlAll, bool rssAll, bool children) {
        config::RunOptions options;
        options.rssAllCategories = rssAll;
        options.refreshChildCategories = children;
        settings.update(options);
        settings.setHtmlAllCategories(htmlAll);
    }

    void regenerate(const std::vector<int>& ids, bool perArticle) {
        AdminSession session{utf8Site, requester};
        regenerateSite(session, context, ids, 2, perArticle);
    }

    AdminSession session() { return AdminSession{utf8Site, requester}; }

    static constexpr const char* kRss = "GET /s1/dede/makehtml_rss_action.php?";
    static constexpr const char* kList = "GET /s1/dede/makehtml_list_action.php?";
};

// Categories of real size: 技术文章 has 120 list pages, 国内新闻 (under 新闻中心) 60; the back end makes
// 50 a request and links the next chunk.
class LargeCategoryTest : public RegenerationTest {
   protected:
    void adjustSites(oz::testing::StandinSite& utf8, oz::testing::StandinSite&) override {
        utf8.categories[1].listPages = 120;
        utf8.categories[2].listPages = 60;
    }
    std::vector<std::string> listRequests() {
        std::vector<std::string> lines = requestLines("s1");
        std::erase_if(lines, [](const std::string& line) { return line.rfind(kList, 0) != 0; });
        for (std::string& line : lines) line.erase(0, std::string(kList).size());
        return lines;
    }
};

// The continuation of a chunk is progress: every chunk is asked for once, down to the last page,
// and no line says a failure.
TEST_F(LargeCategoryTest, EveryChunkIsMadeOnceToTheLastPage) {
    setOptions(false, false, true);
    regenerate({2, 1}, false);
    EXPECT_EQ(listRequests(),
              (std::vector<std::string>{
                  "maxpagesize=50&upnext=1&typeid=2",
                  "gotype=&uppage=0&mkpage=51&maxpagesize=50&typeid=2&pageno=0&isremote=0&serviterm=",
                  "gotype=&uppage=0&mkpage=101&maxpagesize=50&typeid=2&pageno=0&isremote=0&serviterm=",
                  "maxpagesize=50&upnext=1&typeid=1",
                  "gotype=&uppage=0&maxpagesize=50&typeid=1&pageno=1&isremote=0&serviterm=",
                  "gotype=&uppage=0&mkpage=51&maxpagesize=50&typeid=1&pageno=1&isremote=0&serviterm="}));
    const auto texts = logTexts();
    EXPECT_EQ(std::vector<std::string>(texts.begin(), texts.begin() + 3),
              (std::vector<std::string>{"已刷新栏目页 2（第 1–50 页）", "已刷新栏目页 2（第 51–100 页）",
                                        "已刷新栏目页 2（第 101 页起）"}));
    EXPECT_NE(std::find(texts.begin(), texts.end(), "!已刷新子级栏目页 3（第 51 页起）"), texts.end());
    for (const auto& text : texts) EXPECT_EQ(text.find("失败"), std::string::npos) << text;

    server.clearRequests();
    setOptions(true, true, false);
    regenerate({2}, false);
    EXPECT_EQ(listRequests().size(), 6u);  // 1, 2 in three chunks, 3 in two: every category to its end
    server.clearRequests();
    regenerate({2}, true);
    EXPECT_EQ(listRequests(), (std::vector<std::string>{"maxpagesize=2&upnext=0&typeid=2"}));
}

// The same fixture with site "s1" running the release of the test's parameter.
class RegenerationReleaseTest : public RegenerationTest,
                                public ::testing::WithParamInterface<test::StandinRelease> {
   protected:
    RegenerationReleaseTest() { release = GetParam(); }
};

const std::vector<std::string> kHomePageRequests = {
    "GET /s1/dede/makehtml_homepage.php", "POST /s1/dede/makehtml_homepage.php",
    "GET /s1/dede/makehtml_map.php?dopost=site", "GET /s1/dede/makehtml_map.php?dopost=rss"};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(RegenerationTest, PublishedCategoriesOneByOne) {
    setOptions(false, false, false);
    regenerate({1, 2}, false);
    std::string r = kRss;
    std::string l = kList;
    EXPECT_EQ(requestLines("s1"),
              concat({r + "maxrecord=50", l + "maxpagesize=50&upnext=1&typeid=1",
                      r + "tid=0&maxrecord=50&isremote=0&serviterm=", l + "maxpagesize=50&upnext=1&typeid=2",
                      r + "tid=1&maxrecord=50&isremote=0&serviterm="},
                     kHomePageRequests));
    EXPECT_EQ(logTexts(), (std::vector<std::string>{"已刷新栏目页 1", "已刷新RSS页 1", "已刷新栏目页 2",
                                                    "已刷新RSS页 2", "刷新主页(含rss、xml地图)"}));
    EXPECT_EQ(logLines.front().first, 2);
    EXPECT_EQ(
        server.requests("s1")[6].body,
        "Submit=%E6%9B%B4%E6%96%B0%E4%B8%BB%E9%A1%B5HTML&dopost=make&position=..%2Findex.html&saveset=1&"
        "showmod=1&templet=default%2Findex.htm");
}

TEST_F(RegenerationTest, AllCategoriesAfterTheRunSkipThePerCategorySteps) {
    setOptions(true, true, true);
    regenerate({1, 2}, false);
    std::string r = kRss;
    std::string l = kList;
    std::string all = l + "gotype=&uppage=0&maxpagesize=50&typeid=0&pageno=";
    EXPECT_EQ(requestLines("s1"), concat({r + "maxrecord=50", r + "tid=1&maxrecord=50&isremote=0&serviterm=",
                                          r + "tid=2&maxrecord=50&isremote=0&serviterm=",
                                          r + "tid=3&maxrecord=50&isremote=0&serviterm=", all + "0",
                                          all + "1&isremote=0&serviterm=", all + "2&isremote=0&serviterm="},
                                         kHomePageRequests));
    auto texts = logTexts();
    ASSERT_EQ(texts.size(), 7u);
    EXPECT_EQ(texts[0], "!已刷新RSS页 1");
    EXPECT_EQ(texts[2], "!已刷新RSS页 3");
    EXPECT_EQ(texts[3], "!已刷新栏目页 1");
    EXPECT_EQ(texts[5], "!已刷新栏目页 结束");
}

// After each article only its category's first list pages are made, where the new article shows;
// the child categories and the whole lists wait for the end of the site's run.
TEST_F(RegenerationTest, AfterEachArticleTheAllCategoryOptionsAreIgnored) {
    setOptions(true, true, true);
    regenerate({1}, true);
    std::string r = kRss;
    std::string l = kList;
    EXPECT_EQ(requestLines("s1"), concat({r + "maxrecord=50", l + "maxpagesize=2&upnext=0&typeid=1",
                                          r + "tid=0&maxrecord=50&isremote=0&serviterm="},
                                         kHomePageRequests));
    auto texts = logTexts();
    EXPECT_EQ(texts[0], "已刷新栏目页 1");
    EXPECT_EQ(texts[1], "已刷新RSS页 1");
}

TEST_F(RegenerationTest, RssOfCategorySevenAsksForTidSix) {
    setOptions(false, false, false);
    regenerate({7}, true);
    auto lines = requestLines("s1");
    EXPECT_NE(
        std::find(lines.begin(), lines.end(), std::string(kRss) + "tid=6&maxrecord=50&isremote=0&serviterm="),
        lines.end());
    // The stand-in has no category after 6, so the honest line is the failure one.
    auto texts = logTexts();
    EXPECT_NE(std::find(texts.begin(), texts.end(), "刷新RSS页失败 7"), texts.end());
}

// A login page, an error page or any other answer without the action's texts: the attempts are
// made, the paging loops end at the first such answer, and no line claims a refresh.
TEST_F(RegenerationTest, AnswersWithoutSuccessTextAreTriedThreeTimesAndLoopsEndAtOnce) {
    oz::testing::StandinFaults faults;
    faults.omitSuccessText = true;
    server.setFaults("s1", faults);
    setOptions(false, false, true);
    regenerate({2}, false);
    auto lines = requestLines("s1");
    auto count = [&](const std::string& prefix) {
        return std::count_if(lines.begin(), lines.end(),
                             [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
    };
    EXPECT_EQ(count(std::string(kList) + "maxpagesize=50&upnext=1&typeid=2"), 3);
    EXPECT_EQ(count(std::string(kList) + "gotype="), 0);  // no child categories after a failed category
    EXPECT_EQ(count(std::string(kRss) + "tid=1&"), 3);
    auto texts = logTexts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0], "刷新栏目页失败 2（请求已处理，请返回。）");
    EXPECT_EQ(texts[1], "刷新RSS页失败 2");
    for (const auto& text : texts) EXPECT_EQ(text.find("已刷新"), std::string::npos) << text;
    EXPECT_NE(std::find(texts.begin(), texts.end(), "刷新主页失败（请求已处理，请返回。）"), texts.end());

    server.clearRequests();
    setOptions(true, false, false);
    regenerate({}, false);
    lines = requestLines("s1");
    EXPECT_EQ(count(std::string(kList) + "gotype=&uppage=0&maxpagesize=50&typeid=0&pageno="), 1);
}

TEST_F(RegenerationTest, EmptyCategoryListStillRefreshesRssHomeAndCustomItems) {
    config::RunOptions options;
    options.refreshSystemCache = true;
    options.refreshXmlMapModule = true;
    options.refreshXmlMap = true;
    options.refreshTxtMap = true;
    options.refreshStaticTags = true;
    options.refreshSinglePages = true;
    options.refreshFreeLists = true;
    options.refreshSiteMapHtml = true;
    settings.update(options);
    regenerate({}, false);
    auto lines = requestLines("s1");
    ASSERT_GE(lines.size(), 14u);
    EXPECT_EQ(lines[0], "GET /s1/dede/sys_cache_up.php?dopost=ok");
    EXPECT_EQ(lines[1], std::string(kRss) + "maxrecord=50");
    EXPECT_EQ(lines[6], "GET /s1/dede/map.php?dopost=save&x=sitemap");
    EXPECT_EQ(lines[7], "GET /s1/dede/makehtml_xmlpage.php");
    EXPECT_EQ(lines[8], "POST /s1/dede/makehtml_homepage.php");
    EXPECT_EQ(
        lines.back(),
        "GET "
        "/s1/dede/makehtml_sitemap.php?dopost=make&maps%5B%5D=sitemap.html&maps%5B%5D=sitemap.txt&maps%5B%5D="
        "sitemap.xml&maps%5B%5D=google.xml&maps%5B%5D=rss.xml");
    std::string mapBody = server.requests("s1")[8].body;
    EXPECT_EQ(mapBody.rfind("dopost=make&templet=", 0), 0u);
    EXPECT_NE(mapBody.find("&showmod=1&Submit=%B8%FC%D0%C2xml%B5%D8%CD%BC"), std::string::npos);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{
                              "开始刷新Kivra系统缓存", "结束刷新Kivra系统缓存", "刷新主页(含rss、xml地图)",
                              "刷新KivraXML地图【模块】", "刷新KivraXML地图", "刷新KivraTXT地图",
                              "刷新Kivra静态TAG首页", "刷新Kivra单页文档", "开始刷新Kivra自由列表",
                              "结束刷新Kivra自由列表", "刷新Belmo网站地图HTML"}));
}

TEST_P(RegenerationReleaseTest, HomePageOverridesAreSentWholeAndTested) {
    auto s = session();
    EXPECT_TRUE(refreshHomePage(s, context, std::string("../new&x=1.html"), std::string("")));
    EXPECT_EQ(server.homePage("s1"),
              std::make_pair(std::string("default/index.htm"), std::string("../new&x=1.html")));
    EXPECT_EQ(requestLines("s1").size(), 2u);  // no map pages with an override

    oz::testing::StandinFaults faults;
    faults.omitSuccessText = true;
    server.setFaults("s1", faults);
    EXPECT_FALSE(refreshHomePage(s, context, std::nullopt, std::string("other/index.htm")));
    EXPECT_TRUE(refreshHomePage(s, context));  // without overrides the result is always true
}

TEST_P(RegenerationReleaseTest, OneKeyUpdateFollowsTheChainToItsEnd) {
    auto s = session();
    EXPECT_EQ(oneKeyUpdate(s, context, 3), 0);  // unchecked
    config::RunOptions options;
    options.oneClickUpdate = true;
    settings.update(options);
    int pages = oneKeyUpdate(s, context, 3);
    auto requests = server.requests("s1");
    ASSERT_EQ(static_cast<int>(requests.size()), pages);
    EXPECT_EQ(requests[0].method + " " + requests[0].path,
              "POST /s1/" + utf8Site.adminDir + "/makehtml_all.php");
    EXPECT_EQ(requests[0].body,
              "action=make&uptype=mkall&starttime=2024-05-07&startid=0&Submit=%E5%BC%80%E5%A7%8B%E6%9B%B4%E6%"
              "96%B0");
    auto texts = logTexts();
    EXPECT_EQ(texts.front(), "开始执行dede选项(一键更新网站)");
    EXPECT_EQ(texts.back(), standinFamily().allDone);
    EXPECT_EQ(static_cast<int>(texts.size()), pages + 1);
}

TEST_P(RegenerationReleaseTest, EndlessChainsStopAtTheirBoundsOrTheAbortFlag) {
    oz::testing::StandinFaults faults;
    faults.endlessChain = true;
    server.setFaults("s1", faults);
    auto s = session();
    context.limits.progressPages = 7;
    EXPECT_EQ(followProgressPages(s, context, "task_do.php?dopost=makeprenext", 1, "x"), 7);
    context.limits.oneKeyUpdatePages = 6;
    config::RunOptions options;
    options.oneClickUpdate = true;
    settings.update(options);
    EXPECT_EQ(oneKeyUpdate(s, context, 1), 6);
    context.limits.allCategoryListPages = 4;
    server.clearRequests();
    EXPECT_FALSE(refreshAllLists(s, context).listsComplete);
    EXPECT_LE(requestLines("s1").size(), 4u + 4u);  // the list pages, then the home page and maps

    std::atomic<bool> abort{true};
    context.abort = &abort;
    server.clearRequests();
    EXPECT_EQ(followProgressPages(s, context, "task_do.php", 1, ""), 0);
    EXPECT_EQ(oneKeyUpdate(s, context, 1), 0);
    const ListRefresh cut = refreshAllLists(s, context);
    EXPECT_EQ(cut.categories, 0);
    EXPECT_TRUE(cut.listFailure.empty());
    EXPECT_EQ(requestLines("s1").size(), 0u);
}

// The steps of each family: DedeBIZ has no RSS or map pages, so none is asked for and no failure
// is logged for them; its list pages name the category they made as DedeCMS's do.
TEST_P(RegenerationReleaseTest, RegeneratesWithTheFamilysPages) {
    const bool rss = standinFamily().rssPages;
    setOptions(false, false, false);
    regenerate({1, 2}, false);
    std::vector<std::string> expected{"已刷新栏目页 1", "已刷新RSS页 1", "已刷新栏目页 2", "已刷新RSS页 2",
                                      "刷新主页(含rss、xml地图)"};
    if (!rss) std::erase_if(expected, [](const std::string& line) { return line.starts_with("已刷新RSS"); });
    EXPECT_EQ(logTexts(), expected);
    for (const std::string& line : requestLines("s1")) {
        const bool rssOrMap =
            line.find("_rss_") != std::string::npos || line.find("_map.") != std::string::npos;
        EXPECT_TRUE(rss || !rssOrMap) << line;
    }
    logLines.clear();
    setOptions(true, false, false);
    regenerate({}, false);
    const std::vector<std::string> texts = logTexts();
    EXPECT_EQ(std::vector<std::string>(texts.end() - 4, texts.end() - 1),
              (std::vector<std::string>{"!已刷新栏目页 1", "!已刷新栏目页 2", "!已刷新栏目页 结束"}));
}

INSTANTIATE_TEST_SUITE_P(Releases, RegenerationReleaseTest, test::kEveryRelease, test::releaseName);

TEST_F(RegenerationTest, RefreshAllListsReportsProgress) {
    auto s = session();
    std::vector<std::string> titles;
    const ListRefresh refresh =
        refreshAllLists(s, context, [&](const std::string& title) { titles.push_back(title); });
    EXPECT_EQ(refresh.categories, 3);
    EXPECT_TRUE(refresh.listsComplete);
    EXPECT_TRUE(refresh.homePageMade);
    ASSERT_EQ(titles.size(), 3u);
    EXPECT_EQ(titles[0], utf8Site.domain + " 已刷新栏目 1 个");
    EXPECT_EQ(titles[2], utf8Site.domain + " 已刷新栏目 3 个");
    auto lines = requestLines("s1");
    EXPECT_EQ(lines.back(), "GET /s1/dede/makehtml_map.php?dopost=rss");
}

// A list action that answers in one hostile way, by the pageno and mkpage of each request.
struct HostileList {
    const char* name;
    int status;  // of every list answer and of the home page's post
    // The continuation after the request at (pageno, mkpage); empty: the end text.
    std::string (*next)(int pageno, int mkpage);
    bool complete;
    int categories;
    const char* failure;  // the start of the failure
};

std::string listPage(const std::string& message, const std::string& next) {
    std::string page =
        "<html><head><title>DedeCMS提示信息</title></head><body><script>"
        "document.write(\"<div style='height:130px;font-size:10pt'><br />\");document.write(\"" +
        message + "\");";
    if (!next.empty()) {
        page += "document.write(\"<br /><a href='" + next + "'>如果你的浏览器没反应，请点击这里...</a>\");";
    }
    return page + "</script></body></html>";
}

std::string at(int pageno, int mkpage) {
    std::string url = "makehtml_list_action.php?gotype=&uppage=0";
    if (mkpage > 0) url += "&mkpage=" + std::to_string(mkpage);
    return url + "&maxpagesize=50&typeid=0&pageno=" + std::to_string(pageno);
}

// Regression: a list action answering HTTP 500, or looping, or jumping forever, was reported as
// "已刷新栏目 N 个" (N its requests) with exit 0, and a chunk that went back logged "第 51–50 页".
TEST(HostileListTest, AChainThatFailsLoopsOrRunsAwayIsAFailure) {
    const HostileList cases[] = {
        {"sound", 200, [](int p, int) { return p < 1 ? at(p + 1, 0) : std::string(); }, true, 2, ""},
        {"server error", 500, [](int, int) { return std::string(); }, false, 0, "HTTP 500"},
        {"loop", 200, [](int p, int) { return at(p == 0 ? 1 : 0, 0); }, false, 1,
         "后台的继续链接没有向前推进"},
        {"chunk again", 200, [](int, int) { return at(0, 51); }, false, 0, "后台的继续链接没有向前推进"},
        {"jump", 200, [](int p, int) { return at(p + 1000, 0); }, false, 0, "后台的继续链接没有向前推进"},
        {"same category", 200, [](int p, int) { return at(p + 1, 0) + "&same=1"; }, false, 1, "后台再次生成"},
        {"runaway", 200, [](int p, int) { return at(p + 1, 0) + "&n=" + std::to_string(p); }, false, 40,
         "进度页过多"},
    };
    for (const HostileList& c : cases) {
        http::TestServer hostile;
        hostile.server().Get("/dede/makehtml_list_action.php", [&c](const httplib::Request& req,
                                                                    httplib::Response& res) {
            const int pageno = req.has_param("pageno") ? std::stoi(req.get_param_value("pageno")) : 0;
            const int mkpage = req.has_param("mkpage") ? std::stoi(req.get_param_value("mkpage")) : 0;
            const std::string next = c.next(pageno, mkpage);
            const std::string category = req.has_param("same") ? "1" : std::to_string(pageno + 1);
            res.status = c.status;
            res.set_content(next.empty() ? listPage("完成所有栏目列表更新！", "")
                                         : listPage("成功创建栏目：" + category + "，继续进行操作！", next),
                            "text/html; charset=utf-8");
        });
        hostile.server().Get(
            "/dede/makehtml_homepage.php", [](const httplib::Request&, httplib::Response& res) {
                res.set_content("<input name='templet' value='default/index.htm'>", "text/html");
            });
        hostile.server().Post(
            "/dede/makehtml_homepage.php", [&c](const httplib::Request&, httplib::Response& res) {
                res.status = c.status;
                res.set_content("成功更新主页HTML：../index.html", "text/html; charset=utf-8");
            });
        hostile.start();
        BackendContext context;
        const backend::OptionsRunSettings settings;
        context.settings = &settings;
        context.limits.allCategoryListPages = 40;
        config::SiteConfig site;
        site.domain = "127.0.0.1:" + std::to_string(hostile.port());
        site.user = "admin";
        site.password = "admin";
        http::HttpRequester requester;
        AdminSession session{site, requester};
        const ListRefresh refresh = refreshAllLists(session, context);
        EXPECT_EQ(refresh.listsComplete, c.complete) << c.name;
        EXPECT_EQ(refresh.categories, c.categories) << c.name;
        EXPECT_EQ(refresh.listFailure.rfind(c.failure, 0), 0u) << c.name << ": " << refresh.listFailure;
        EXPECT_EQ(refresh.homePageMade, c.status == 200) << c.name;
        EXPECT_LE(hostile.seen().size(), 45u) << c.name;

        // The batch report says so, and the site counts as failed.
        BatchEnvironment env;
        env.backend = context;
        const BatchTarget target{1, site, formOfSite(site)};
        BatchSite batchSite = openBatchSite(target, env);
        const std::string line = siteReportLine(batchSite, env, "成功 1 个", true);
        EXPECT_EQ(batchSite.failed, !c.complete || c.status != 200) << c.name << ": " << line;
        if (c.status != 200) {
            EXPECT_EQ(line,
                      "成功 1 个；已刷新栏目 0 个；刷新栏目列表失败（HTTP 500，服务器内部错误）；"
                      "刷新主页失败（HTTP 500，服务器内部错误）\r\n");
        }
    }
}

TEST_F(RegenerationTest, ProgressPagesResolveEveryKindOfAddress) {
    auto s = session();
    followProgressPages(s, context, "task_do.php?a=1", 1, "");
    followProgressPages(s, context, "/s1/dede/task_do.php?a=2", 1, "");
    followProgressPages(s, context, server.backEndUrl("s1") + "/task_do.php?a=3", 1, "");
    EXPECT_EQ(requestLines("s1"),
              (std::vector<std::string>{"GET /s1/dede/task_do.php?a=1", "GET /s1/dede/task_do.php?a=2",
                                        "GET /s1/dede/task_do.php?a=3"}));
}

// An abort right after the first answered page of a loop: nothing more is requested or logged,
// and every "已刷新" line of the loop stands for a request the stand-in answered.
struct AbortCase {
    const char* name;
    bool htmlAll, rssAll, children, oneKey;
    const char* firstLine;  // the loop's line after which the abort comes
    const char* request;    // the loop's requests
};

class AbortDuringLoopTest : public RegenerationTest, public ::testing::WithParamInterface<AbortCase> {};

TEST_P(AbortDuringLoopTest, NothingIsRequestedOrLoggedAfterTheAbort) {
    const AbortCase& c = GetParam();
    setOptions(c.htmlAll, c.rssAll, c.children);
    config::RunOptions options = settings.options();
    options.oneClickUpdate = c.oneKey;
    settings.update(options);
    context.abort = &requestStop;  // as the engine does: one flag for the loops and the transfers
    const std::string first = c.firstLine;
    context.log = [&](int, const std::string& text) {
        std::lock_guard lock(logMutex);
        logLines.emplace_back(2, text);
        if (text.rfind(first, 0) == 0) requestStop = true;
    };
    AdminSession s = session();
    if (c.oneKey) {
        oneKeyUpdate(s, context, 2);
    } else {
        regenerateSite(s, context, {1, 2}, 2, false);
    }
    auto texts = logTexts();
    ASSERT_FALSE(texts.empty());
    EXPECT_EQ(texts.back().rfind(first, 0), 0u) << texts.back();
    auto lines = requestLines("s1");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back().rfind(c.request, 0), 0u) << lines.back();
    const auto loopLines = std::count_if(texts.begin(), texts.end(),
                                         [&](const std::string& t) { return t.rfind(first, 0) == 0; });
    EXPECT_EQ(loopLines, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, AbortDuringLoopTest,
    ::testing::Values(
        AbortCase{"rssAll", false, true, false, false, "!已刷新RSS页",
                  "GET /s1/dede/makehtml_rss_action.php?tid="},
        AbortCase{"listAll", true, false, false, false, "!已刷新栏目页",
                  "GET /s1/dede/makehtml_list_action.php?gotype=&uppage=0&maxpagesize=50&typeid=0"},
        AbortCase{"category", false, false, false, false, "已刷新栏目页 1",
                  "GET /s1/dede/makehtml_list_action.php?maxpagesize=50&upnext=1&typeid=1"},
        AbortCase{"children", false, false, true, false, "!已刷新子级栏目页",
                  "GET /s1/dede/makehtml_list_action.php?gotype=&uppage=0&maxpagesize=50&typeid=1"},
        AbortCase{"oneKey", false, false, false, true, "完成数据优化", "POST /s1/dede/makehtml_all.php"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OneKeyPageTextTest, CapturedPages) {
    auto read = [](const char* name) {
        return test::readBytes(std::filesystem::path(OZ_SOURCE_DIR) / "tests/backend/answers" / name);
    };
    EXPECT_EQ(oneKeyPageText(read("j-makehtml_all-1.html")), "完成数据优化，现在开始更新文档！");
    EXPECT_EQ(oneKeyPageText(read("j-makehtml_all-8.html")), "完成所有文件的更新！");
    // 5.8.1's message page has no header box: the message is the second write.
    EXPECT_EQ(
        oneKeyPageText("document.write(\"<div style='height:130px;font-size:10pt'><br />\");\r\n"
                       "document.write(\"完成所有文件的更新！\");\r\ndocument.write(\"<br /><a href='x'>"
                       "如果你的浏览器没反应，请点击这里...</a><br/></div>\");"),
        "完成所有文件的更新！");
    EXPECT_EQ(oneKeyPageText(""), "");
}

// The message was once cleaned with a pattern that was quadratic on a run of "<" without ">" (100 KB
// took ten seconds); the one-pass cleaning removes the same spans.
TEST(OneKeyPageTextTest, UnclosedTagsStayAndTagsWithLineBreaksGo) {
    const std::string page = "document.write(\"a\");document.write(\"b\");document.write(\"";
    EXPECT_EQ(oneKeyPageText(page + "完成<<<< 1<b>\r\n2</b>\");"), "完成2");
    EXPECT_EQ(oneKeyPageText(page + "完成<\r\n<<\");"), "完成<<<");
    EXPECT_EQ(oneKeyPageText(page + "<>完成<>>\");"), ">");
}

}  // namespace
}  // namespace oz::backend
