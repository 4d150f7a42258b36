#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "backend/article_deletion.h"
#include "backend/batch_category_read.h"
#include "backend/category_creation.h"
#include "backend/category_deletion.h"
#include "backend/homepage_rewrite.h"
#include "backend_fixture.h"
#include "tests/support/forward_proxy.h"

namespace oz::backend::test {
namespace {

// Sets the stop flag once `after` captions have been shown.
class StoppingObserver final : public BatchObserver {
   public:
    StoppingObserver(std::atomic<bool>& stop, int after) : m_stop(stop), m_after(after) {}
    void caption(const std::string& text) override {
        captions.push_back(text);
        if (onCaption) onCaption(text);
        if (m_after > 0 && static_cast<int>(captions.size()) >= m_after) m_stop = true;
    }
    std::vector<std::string> captions;
    std::function<void(const std::string&)> onCaption;

   private:
    std::atomic<bool>& m_stop;
    int m_after;
};

class BatchOperations : public BackendFixture {
   protected:
    void adjustSites(oz::testing::StandinSite& utf8, oz::testing::StandinSite&) override {
        oz::testing::StandinSite third;
        third.prefix = "s3";
        ASSERT_TRUE(server.addSite(third));
        utf8.homeTemplet = "mine/index.htm";
    }

    // Sites s1, g1, s3, all checked.
    std::vector<BatchTarget> targets() {
        config::SiteList list;
        for (auto site : {utf8Site, gbkSite, siteFor("s3", 0)}) {
            site.enabled = true;
            list.sites.push_back(site);
        }
        return batchTargets(list, BatchScope::Checked);
    }

    BatchEnvironment env(int stopAfterCaptions = 0) {
        observer = std::make_unique<StoppingObserver>(stop, stopAfterCaptions);
        BatchEnvironment e;
        e.backend = context;
        e.stop = &stop;
        e.observer = observer.get();
        return e;
    }

    // The decoded value of `name` in every POST to `page` of the site.
    std::vector<std::string> posted(const std::string& prefix, const std::string& page,
                                    const std::string& name) {
        std::vector<std::string> values;
        for (const auto& request : server.requests(prefix)) {
            if (request.method != "POST" || request.path.find(page) == std::string::npos) continue;
            std::string body = "&" + request.body;
            std::size_t at = body.find("&" + name + "=");
            std::size_t start = at + name.size() + 2;
            values.push_back(at == std::string::npos ? ""
                                                     : body.substr(start, body.find('&', start) - start));
        }
        return values;
    }

    // Articles 1 to `count` on the site, in category `typeId`. (The deletions send only the ids
    // the site's article list holds.)
    void storeArticles(int count, const std::string& prefix = "s1", int typeId = 1) {
        const config::SiteConfig site = prefix == "s1" ? utf8Site : siteFor(prefix, 0);
        ASSERT_TRUE(loginTo(site));
        AdminSession session{site, requester};
        for (int n = 1; n <= count; ++n) {
            postPage(
                session, context, backEndBaseUrl(site) + "/article_add.php",
                "channelid=1&dopost=save&typeid=" + std::to_string(typeId) + "&title=t" + std::to_string(n));
        }
        ASSERT_EQ(server.articleCount(prefix), static_cast<std::size_t>(count));
        server.clearRequests();
    }

    std::atomic<bool> stop{false};
    std::unique_ptr<StoppingObserver> observer;
};

TEST(CategoryLine, TenFieldDefaultsAndAttributes) {
    CategoryFields only = parseCategoryLine("新栏目|||||||||");
    EXPECT_EQ(only.seoTitle, "新栏目");
    EXPECT_EQ(only.keywords, "新栏目");
    EXPECT_EQ(only.listTemplate, "list_article.htm");
    EXPECT_EQ(only.ispart, 0);
    EXPECT_EQ(only.articleRule, "{typedir}/{Y}/{M}{D}/{aid}.html");
    EXPECT_EQ(only.listRule, "{typedir}/list_{tid}_{page}.html");
    EXPECT_EQ(only.articleTemplate, "{style}/article_article.htm");
    EXPECT_EQ(parseCategoryLine("a|||||3").ispart, 2);
    EXPECT_EQ(parseCategoryLine("a|||||9").ispart, 0);
    EXPECT_EQ(parseCategoryLine("a|||||x").ispart, 0);
    // Attributes beyond the int range once computed INT_MIN - 1 (undefined behaviour).
    EXPECT_EQ(parseCategoryLine("a|||||-9999999999").ispart, 0);
    EXPECT_EQ(parseCategoryLine("a|||||99999999999").ispart, 0);
}

TEST_F(BatchOperations, CreatesCategoriesSharedOutInModeOneWithTheExactBody) {
    context.random = [](int lo, int) { return lo; };
    CreateCategoriesOptions options;
    options.lines = categoryLinesFromText("c1\r\nc2\r\nc3\r\nc4\r\nc5\r\n", 1);
    options.mode = 1;
    options.countMin = options.countMax = 2;
    options.parentDir.clear();
    BatchReport report = createCategories(targets(), options, env());
    EXPECT_EQ(posted("s1", "catalog_add", "typename"), (std::vector<std::string>{"c1", "c2"}));
    EXPECT_EQ(posted("g1", "catalog_add", "typename"), (std::vector<std::string>{"c3", "c4"}));
    EXPECT_EQ(posted("s3", "catalog_add", "typename"), (std::vector<std::string>{"c5", "c1"}));
    // The parent's folder is asked for once per site.
    int edits = 0;
    for (const auto& request : server.requests("s1")) edits += request.path.ends_with("catalog_edit.php");
    EXPECT_EQ(edits, 1);
    EXPECT_EQ(
        server.requests("s1").back().body,
        "dopost=save&reid=1&topid=0&issend=1&ishidden=0&channeltype=1&typename=c2&sortrank=50&corank=0"
        "&nextdir=%7Bcmspath%7D%2Fa%2Fnews&typedir=&referpath=parent&isdefault=0&defaultname=index.html"
        "&ispart=0&cross=0&crossid=&moresite=0&siteurl=&dfstyle=%7Bstyle%7D"
        "&tempindex=%7Bstyle%7D%2Findex_article.htm&templist=%7Bstyle%7D%2Flist_article.htm"
        "&temparticle=%7Bstyle%7D%2Farticle_article.htm&namerule=%7Btypedir%7D%2F%7BY%7D%2F%7BM%7D%7BD%7D"
        "%2F%7Baid%7D.html&namerule2=%7Btypedir%7D%2Flist_%7Btid%7D_%7Bpage%7D.html&seotitle=c2"
        "&keywords=c2&description=&content=&imageField.x=26&imageField.y=8");
    std::string host = server.hostAndPort();
    EXPECT_EQ(report.report, host + "/s1 成功 2 个；失败 0 个\r\n" + host + "/g1 成功 2 个；失败 0 个\r\n" +
                                 host + "/s3 成功 2 个；失败 0 个\r\n");
    EXPECT_TRUE(report.failures.empty());
    bool inForm = false;
    for (const auto& category : server.categories("s3")) inForm |= category.name == "c5";
    EXPECT_TRUE(inForm);
}

// Regression (the absent ids): the back end answers a deletion of an id it does not hold as a
// real one, so 8 ids on a site of 3 categories counted "成功 8 个". Only listed ids are sent.
TEST_F(BatchOperations, DeletesCategoryIdsCountingDown) {
    DeleteCategoriesOptions options;
    options.from = 10;
    options.to = 3;
    BatchReport report = deleteCategories({targets()[0]}, options, env());
    EXPECT_EQ(posted("s1", "catalog_del", "id"), (std::vector<std::string>{"3"}));
    EXPECT_EQ(posted("s1", "catalog_del", "delfile"), (std::vector<std::string>{"no"}));
    EXPECT_EQ(report.report,
              server.hostAndPort() + "/s1 成功 1 个；失败 0 个；网站后台没有的 ID 7 个（未发送）\r\n");
    options.from = 2;
    options.to = 1;
    report = deleteCategories({targets()[0]}, options, env());
    EXPECT_EQ(posted("s1", "catalog_del", "id"), (std::vector<std::string>{"3", "2", "1"}));
    EXPECT_EQ(report.report, server.hostAndPort() + "/s1 成功 2 个；失败 0 个\r\n");
}

struct ArticleRange {
    int from, to;
    std::vector<std::string> firstIds, lastIds;
};

class ArticleBatches : public BatchOperations, public ::testing::WithParamInterface<ArticleRange> {};

TEST_P(ArticleBatches, SendsBatchesOfAHundredWithTheFirstIdAsAid) {
    const ArticleRange& range = GetParam();
    DeleteArticlesOptions options;
    options.from = range.from;
    options.to = range.to;
    storeArticles(300);
    BatchReport report = deleteArticles({targets()[0]}, options, env());
    std::vector<std::string> first, last;
    for (const std::string& qstr : posted("s1", "archives_do", "qstr")) {
        first.push_back(qstr.substr(0, qstr.find("%60")));
        last.push_back(qstr.substr(qstr.rfind("%60") == std::string::npos ? 0 : qstr.rfind("%60") + 3));
    }
    EXPECT_EQ(first, range.firstIds);
    EXPECT_EQ(last, range.lastIds);
    for (const std::string& aid : posted("s1", "archives_do", "aid"))
        EXPECT_EQ(aid, std::to_string(range.from));
    std::string n = std::to_string(range.firstIds.size());
    EXPECT_EQ(report.report, server.hostAndPort() + "/s1 已删除 " + n + " 批（已发送 " + n +
                                 " 批）\r\n\r\n\r\n(每批 100 篇)");
}

INSTANTIATE_TEST_SUITE_P(Ranges, ArticleBatches,
                         ::testing::Values(ArticleRange{1, 250, {"1", "101", "201"}, {"100", "200", "250"}},
                                           ArticleRange{300, 201, {"300"}, {"201"}},
                                           ArticleRange{5, 5, {"5"}, {"5"}}));

TEST_F(BatchOperations, UnconfirmedArticleBatchesAreCountedApart) {
    DeleteArticlesOptions options;
    options.from = 1;
    options.to = 150;
    storeArticles(150, "s3");
    BatchEnvironment e = env();
    observer->onCaption = [this](const std::string& text) {
        oz::testing::StandinFaults faults;
        faults.omitSuccessText = text.ends_with("已删除第 1 批文章");
        server.setFaults("s3", faults);
    };
    BatchReport report = deleteArticles({targets()[2]}, options, e);
    EXPECT_EQ(
        report.report,
        server.hostAndPort() +
            "/s3 已删除 1 批（已发送 2 批）（失败原因：请求已处理，请返回。）\r\n\r\n\r\n(每批 100 篇)");
}

class BatchReleaseTest : public BatchOperations, public ::testing::WithParamInterface<StandinRelease> {
   protected:
    BatchReleaseTest() { release = GetParam(); }

    std::vector<int> deletedArticles() const {
        std::vector<int> ids;
        for (const auto& article : server.articles("s1")) {
            if (article.deleted) ids.push_back(article.id);
        }
        return ids;
    }
};

// Regression: 5.8.1 splits the ids at "," and drops every other character of a piece, so the
// batch "1`2" deleted article 12 and the back end said it had deleted what it was asked to. Each
// release gets its own separator, and DedeBIZ, whose deletion stops at the first id it does not
// hold, one id per request.
TEST_P(BatchReleaseTest, ArticleDeletionNeverTouchesAnIdOutsideItsRange) {
    storeArticles(12);
    BatchReport report = deleteArticles({targets()[0]}, {1, 2, false}, env());
    EXPECT_EQ(deletedArticles(), (std::vector<int>{1, 2}));
    const std::string host = server.hostAndPort();
    const std::vector<std::string> qstrs = posted("s1", "archives_do", "qstr");
    if (release == StandinRelease::DedeBiz6) {
        EXPECT_EQ(qstrs, (std::vector<std::string>{"1", "2"}));
        EXPECT_EQ(report.report,
                  host + "/s1 已删除 2 批（已发送 2 批）（每批 1 篇）\r\n\r\n\r\n(每批 100 篇)");
    } else {
        EXPECT_EQ(qstrs,
                  (std::vector<std::string>{release == StandinRelease::DedeCms58 ? "1%2C2" : "1%602"}));
        EXPECT_EQ(report.report, host + "/s1 已删除 1 批（已发送 1 批）\r\n\r\n\r\n(每批 100 篇)");
    }
}

// A category deletion that DedeBIZ answers with HTTP 500 once it has deleted is counted by the
// site's category list; an id it never listed is not sent (before, it counted as deleted on
// DedeCMS, which answers alike for it, and as a failure on DedeBIZ).
TEST_P(BatchReleaseTest, CategoryDeletionCountsWhatTheSiteDid) {
    BatchReport report = deleteCategories({targets()[0]}, {2, 4, false, false}, env());
    EXPECT_EQ(server.categories("s1").size(), 1u);
    const std::string host = server.hostAndPort();
    EXPECT_EQ(posted("s1", "catalog_del", "id"), (std::vector<std::string>{"2", "3"}));
    EXPECT_EQ(report.report, host + "/s1 成功 2 个；失败 0 个；网站后台没有的 ID 1 个（未发送）\r\n");
    CreateCategoriesOptions create;
    create.lines = categoryLinesFromText("新栏目", 0);
    EXPECT_EQ(createCategories({targets()[0]}, create, env()).report, host + "/s1 成功 1 个；失败 0 个\r\n");
}

INSTANTIATE_TEST_SUITE_P(Releases, BatchReleaseTest, kEveryRelease, releaseName);

// A release the program does not know sends one id per request: no separator can be wrong.
TEST_F(BatchOperations, UnknownReleaseDeletesOneIdPerRequest) {
    oz::testing::StandinSite site;
    site.prefix = "v1";
    site.version = "20991231";
    ASSERT_TRUE(server.addSite(site));
    config::SiteList list;
    list.sites.push_back(siteFor("v1", 0));
    list.current = 0;
    storeArticles(4, "v1");
    BatchReport report = deleteArticles(batchTargets(list, BatchScope::Current), {3, 5, false}, env());
    EXPECT_EQ(posted("v1", "archives_do", "qstr"), (std::vector<std::string>{"3", "4"}));
    EXPECT_EQ(report.report,
              server.hostAndPort() +
                  "/v1 已删除 2 批（已发送 2 批）（每批 1 篇）；网站后台没有的 ID 1 个（未发送）"
                  "\r\n\r\n\r\n(每批 100 篇)");
}

// A creation whose answer says nothing trustworthy is settled by counting the site's categories
// again: one made is counted, one not made is listed to be pasted back, and none is made twice.
TEST_F(BatchOperations, CategoriesCreatedBehindABadAnswerAreCountedNotMadeAgain) {
    oz::testing::StandinFaults faults;
    faults.storedAnswer = oz::testing::StoredAnswer::GatewayTimeout;
    server.setFaults("s3", faults);
    CreateCategoriesOptions options;
    options.lines = categoryLinesFromText("新栏目\r\n新栏目\r\n|空名\r\n", 0);
    BatchReport report = createCategories({targets()[2]}, options, env());
    int made = 0;
    for (const auto& category : server.categories("s3")) made += category.name == "新栏目";
    EXPECT_EQ(made, 2);
    EXPECT_EQ(report.report, server.hostAndPort() + "/s3 成功 2 个；失败 1 个（失败原因：栏目名称为空）\r\n");
    EXPECT_EQ(report.failures,
              "站点 " + server.hostAndPort() + "/s3 创建失败的栏目数据：\r\n|空名\r\n\r\n\r\n");
}

TEST_F(BatchOperations, RewriteWithoutOverridesPostsTheFormsOwnValues) {
    BatchReport report = rewriteHomePages({targets()[0]}, {}, env());
    EXPECT_EQ(posted("s1", "makehtml_homepage", "templet"), (std::vector<std::string>{"mine%2Findex.htm"}));
    EXPECT_EQ(posted("s1", "makehtml_homepage", "position"), (std::vector<std::string>{"..%2Findex.html"}));
    EXPECT_EQ(report.report, server.hostAndPort() + "/s1 修改成功\r\n");
}

// The batch tools take each site's way: its own proxy, the default one, or direct.
TEST_F(BatchOperations, EachSiteGoesThroughItsOwnProxy) {
    oz::test::ForwardProxy own("A");
    oz::test::ForwardProxy fallback("B");
    config::RunOptions options;
    options.defaultProxy = "http://" + fallback.hostPort();
    settings.update(options);
    std::vector<BatchTarget> all = targets();
    all[0].form.proxy = "http://" + own.hostPort();
    all[2].form.proxy = "";
    const BatchReport report = rewriteHomePages(all, {}, env());
    for (const auto& [prefix, way] : {std::pair{"s1", "A"}, {"g1", "B"}, {"s3", ""}}) {
        const auto requests = server.requests(prefix);
        EXPECT_FALSE(requests.empty()) << prefix;
        for (const auto& request : requests) EXPECT_EQ(request.header("X-Test-Proxy"), way) << prefix;
    }
    EXPECT_EQ(report.failedSites, 0);
}

// Regression: two records of one 域名 (two accounts) gave report lines that could not be told apart.
TEST_F(BatchOperations, ReportsNameTheUserWhenTwoRecordsShareADomain) {
    config::SiteList list;
    for (const char* user : {"admin", "nobody"}) {
        config::SiteConfig site = utf8Site;
        site.user = user;
        site.enabled = true;
        list.sites.push_back(site);
    }
    list.sites.push_back(siteFor("s3", 0));
    list.sites.back().enabled = true;
    BatchReport report = rewriteHomePages(batchTargets(list, BatchScope::Checked), {}, env());
    const std::string host = server.hostAndPort();
    EXPECT_EQ(report.report, host + "/s1(admin) 修改成功\r\n" + host +
                                 "/s1(nobody) 登录失败（你的用户名不存在!）\r\n" + host + "/s3 修改成功\r\n");
}

TEST_F(BatchOperations, ReadsTreesChecksAllAndSkipsReadSites) {
    std::vector<BatchTarget> all = targets();
    all[1].record.categoryTree = encodeCategoryTree({{7, "旧", 1, -1, 1, true}});
    std::vector<std::pair<int, config::SiteConfig>> stored;
    BatchReport report =
        readCategoryLists(all, {true, true}, env(),
                          [&](int index, const config::SiteConfig& r) { stored.emplace_back(index, r); });
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0].first, 1);
    EXPECT_EQ(stored[1].first, 3);
    EXPECT_EQ(stored[0].second.categoryIds, "1,3,2");
    std::vector<CategoryItem> tree = decodeCategoryTree(stored[0].second.categoryTree);
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree[1].displayText(), "国内新闻[3]");
    EXPECT_EQ(tree[1].parent, 0);
    EXPECT_TRUE(server.requests("g1").empty());
    EXPECT_FALSE(report.stopped);
}

TEST_F(BatchOperations, ReadingThatFailsKeepsTheStoredTreeAndIsListedApart) {
    oz::testing::StandinFaults refuse;
    refuse.refuseLogin = true;
    server.setFaults("s1", refuse);
    int stores = 0;
    BatchReport report =
        readCategoryLists({targets()[0]}, {}, env(), [&](int, const config::SiteConfig&) { ++stores; });
    EXPECT_EQ(stores, 0);
    EXPECT_EQ(report.report, "");
    EXPECT_EQ(report.failures, server.hostAndPort() + "/s1 登录失败（你的密码错误!）\r\n");
}

// A stop between requests ends every operation where it is and still gives the report so far.
TEST_F(BatchOperations, StopInTheMiddleOfEachOperation) {
    CreateCategoriesOptions create;
    create.lines = categoryLinesFromText("a\nb\nc\nd", 0);
    BatchReport created = createCategories(targets(), create, env(3));  // login, a, b
    EXPECT_TRUE(created.stopped);
    EXPECT_EQ(created.report, server.hostAndPort() + "/s1 成功 2 个；失败 0 个\r\n");

    stop = false;
    server.clearRequests();
    BatchReport deleted = deleteCategories(targets(), {1, 500, false, false}, env(4));
    EXPECT_EQ(posted("s1", "catalog_del", "id").size(), 3u);
    EXPECT_TRUE(server.requests("g1").empty());
    EXPECT_TRUE(deleted.stopped);

    stop = false;
    storeArticles(250, "s1", 4);  // in "a", which the stopped deletion left
    BatchReport articles = deleteArticles(targets(), {1, 1000, false}, env(3));
    EXPECT_EQ(posted("s1", "archives_do", "qstr").size(), 2u);
    EXPECT_TRUE(articles.report.starts_with(server.hostAndPort() + "/s1 已删除 2 批（已发送 2 批）\r\n"));

    stop = false;
    BatchReport rewritten = rewriteHomePages(targets(), {}, env(2));  // s1 login, then s1 rewriting
    EXPECT_EQ(rewritten.report, server.hostAndPort() + "/s1 修改成功\r\n");

    stop = false;
    int reads = 0;
    readCategoryLists(targets(), {}, env(2), [&](int, const config::SiteConfig&) { ++reads; });
    EXPECT_EQ(reads, 1);
}

}  // namespace
}  // namespace oz::backend::test
