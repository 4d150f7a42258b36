// Article submission against the stand-in back end: the exact form bytes for UTF-8 and GBK sites,
// the success test, the address and failure records, the follow-ups and the fault cases.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <iterator>
#include <map>
#include <optional>
#include <thread>
#include <tuple>

#include "backend/article_form.h"
#include "backend/article_submission.h"
#include "backend/records.h"
#include "backend_fixture.h"
#include "config/data_folder.h"
#include "testing/standin_form.h"
#include "text/charset.h"

namespace oz::backend {
namespace {

content::ArticleDraft sampleDraft() {
    content::ArticleDraft draft;
    draft.title = "测试 标题";
    draft.shorttitle = "短标题";
    draft.tags = "标签一,标签二";
    draft.keywords = "关键词";
    draft.writer = "作者";
    draft.typeId = 3;
    draft.source = "http://src.example/";
    draft.body = "<p>正文 a&b=c 100%</p>";
    return draft;
}

void setSampleOptions(config::SiteConfig& site) {
    site.source = "http://src.example/";
    site.flagHeadline = true;
    site.flagBold = true;
    site.flagSlide = true;  // no picture in the body: never sent
    site.viewCountMin = site.viewCountMax = 5;
    site.titleColor = 0x00563412;
    site.generateHtml = true;
    site.pageSizeKb = 5;
}

class SubmissionTest : public test::BackendFixture {
   protected:
    SubmitResult submit(const config::SiteConfig& site, content::ArticleDraft& draft, int siteIndex = 1,
                        ArticleTracking* tracking = nullptr) {
        AdminSession session{site, requester};
        return submitArticle(session, context, draft, pools, siteIndex, tracking);
    }

    // Adds the stand-in site, checks both follow-ups (next article, static tag lists) and logs in;
    // the requests so far are cleared.
    config::SiteConfig loggedInWithFollowUps(const oz::testing::StandinSite& standin) {
        EXPECT_TRUE(server.addSite(standin));
        config::SiteConfig site = siteFor(standin.prefix, 0);
        config::RunOptions options;
        options.refreshNextArticle = true;
        options.refreshStaticTags = true;
        settings.update(options);
        EXPECT_TRUE(loginTo(site));
        server.clearRequests();
        return site;
    }

    content::SitePools pools;
    AddressRecordTable addresses{data.path()};
};

struct FormCase {
    int charset;
    const char* prefix;
    const char* body;
};

class SubmissionFormTest : public SubmissionTest, public ::testing::WithParamInterface<FormCase> {};

TEST_P(SubmissionFormTest, SendsTheFormByteForByteAndRecordsTheAddress) {
    const FormCase& c = GetParam();
    config::SiteConfig site = c.charset == 0 ? utf8Site : gbkSite;
    setSampleOptions(site);
    context.addressRecords = &addresses;
    ASSERT_TRUE(loginTo(site));
    content::ArticleDraft draft = sampleDraft();
    SubmitResult result = submit(site, draft);
    ASSERT_TRUE(result.published());

    auto requests = server.requests(c.prefix);
    const auto& post = requests.back();
    ASSERT_EQ(post.method + " " + post.path, "POST /" + std::string(c.prefix) + "/dede/article_add.php");
    EXPECT_EQ(post.body, c.body);

    auto stored = server.articles(c.prefix);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0].field("title"), "测试 标题");
    EXPECT_EQ(stored[0].field("body"), "<p>正文 a&b=c 100%</p>");
    EXPECT_EQ(stored[0].fieldValues("flags[]"), (std::vector<std::string>{"h", "b"}));
    EXPECT_FALSE(stored[0].hasField("description"));  // summary bounds 0
    EXPECT_EQ(result.address, "http://" + server.hostAndPort() + stored[0].url);

    std::filesystem::path record = addresses.recordPath(site);
    EXPECT_EQ(record.filename().string(), fileNameSafe(site.domain) + "(admin) 2024-05-07 09-03-02.txt");
    EXPECT_EQ(record.parent_path(), data.path() / config::kAddressRecordFolder);
    EXPECT_EQ(test::readBytes(record), result.address + "\r\n");
}

INSTANTIATE_TEST_SUITE_P(
    Sites, SubmissionFormTest,
    ::testing::Values(
        FormCase{0, "s1",
                 "channelid=1&dopost=save&title=%E6%B5%8B%E8%AF%95%20%E6%A0%87%E9%A2%98&shorttitle=%E7%9F%AD%"
                 "E6%A0%87%"
                 "E9%A2%98&flags[]=h&flags[]=b&tags=%E6%A0%87%E7%AD%BE%E4%B8%80%2C%E6%A0%87%E7%AD%BE%E4%BA%"
                 "8C&source="
                 "http%3A%2F%2Fsrc.example%2F&writer=%E4%BD%9C%E8%80%85&typeid=3&keywords=%E5%85%B3%E9%94%AE%"
                 "E8%AF%8D&"
                 "autokey=1&remote=0&dellink=0&autolitpic=0&needwatermark=0&sptype=hand&spsize=5&body=%3Cp%"
                 "3E%E6%AD%A3%"
                 "E6%96%87%20a%26b%3Dc%20100%25%3C%2Fp%3E&notpost=0&click=5&sortup=0&color=%23123456&arcrank="
                 "0&money=0&"
                 "pubdate=2024-05-07%2009%3A03%3A02&ishtml=1&imageField.x=30&imageField.y=10"},
        FormCase{
            1, "g1",
            "channelid=1&dopost=save&title=%B2%E2%CA%D4%20%B1%EA%CC%E2&shorttitle=%B6%CC%B1%EA%CC%E2&flags[]="
            "h&"
            "flags[]=b&tags=%B1%EA%C7%A9%D2%BB%2C%B1%EA%C7%A9%B6%FE&source=http%3A%2F%2Fsrc.example%2F&"
            "writer=%"
            "D7%F7%D5%DF&typeid=3&keywords=%B9%D8%BC%FC%B4%CA&autokey=1&remote=0&dellink=0&autolitpic=0&"
            "needwatermark=0&sptype=hand&spsize=5&body=%3Cp%3E%D5%FD%CE%C4%20a%26b%3Dc%20100%25%3C%2Fp%3E&"
            "notpost="
            "0&click=5&sortup=0&color=%23123456&arcrank=0&money=0&pubdate=2024-05-07%2009%3A03%3A02&ishtml=1&"
            "imageField.x=30&imageField.y=10"}));

TEST_F(SubmissionTest, PictureFlagsSummaryAndRecordAcrossArticles) {
    config::SiteConfig site = utf8Site;
    site.flagSlide = true;
    site.flagPicture = true;
    site.summaryLengthMin = site.summaryLengthMax = 4;
    site.titleColor = static_cast<int>(0xFF000000u);
    context.addressRecords = &addresses;
    ASSERT_TRUE(loginTo(site));
    content::ArticleDraft first = sampleDraft();
    first.body = "<p>图 <IMG src='a.PNG'> 说明 http://x.example/y 文字</p>";
    ASSERT_TRUE(submit(site, first).published());
    auto stored = server.articles("s1");
    EXPECT_EQ(stored.back().fieldValues("flags[]"), (std::vector<std::string>{"f", "p"}));
    EXPECT_EQ(stored.back().field("description"), "图说明文");
    EXPECT_FALSE(stored.back().hasField("color"));

    content::ArticleDraft webp = sampleDraft();
    webp.body = "<img src='a.webp'>";
    ASSERT_TRUE(submit(site, webp).published());
    EXPECT_FALSE(server.articles("s1").back().hasField("flags[]"));

    clock.advance(std::chrono::seconds(5));
    std::filesystem::path record = addresses.recordPath(site);
    std::string lines = test::readBytes(record);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 2);
    addresses.closeSite(site);  // the site ends; a later entry of it in the same run appends
    content::ArticleDraft again = sampleDraft();
    ASSERT_TRUE(submit(site, again).published());
    EXPECT_EQ(addresses.recordPath(site), record);
    lines = test::readBytes(record);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    addresses.closeAll();  // the run ends: the next run starts a new record
    content::ArticleDraft third = sampleDraft();
    ASSERT_TRUE(submit(site, third).published());
    EXPECT_NE(addresses.recordPath(site), record);
    lines = test::readBytes(record);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
}

// A run in rounds keeps a thousand sites going at once; their records must neither hold a file
// open each nor lose a line when one is closed and opened again.
TEST(AddressRecordTableTest, ManySitesInRoundsKeepEveryLineWithFewFilesOpen) {
    test::TempFolder data;
    AddressRecordTable table(data.path());
    const auto openFiles = [] {  // 0 where the system does not list them
        std::error_code error;
        std::filesystem::directory_iterator listing("/proc/self/fd", error);
        return error ? 0 : std::distance(listing, std::filesystem::directory_iterator());
    };
    const auto before = openFiles();
    config::SiteConfig site;
    site.user = "u";
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 100; ++i) {
            site.domain = "s" + std::to_string(i) + ".example";
            ASSERT_EQ(table.append(site, "http://" + site.domain + "/" + std::to_string(round), {}),
                      std::nullopt);
        }
    }
    EXPECT_LE(openFiles() - before, 40);
    for (int i = 0; i < 100; ++i) {
        site.domain = "s" + std::to_string(i) + ".example";
        EXPECT_EQ(test::readBytes(table.recordPath(site)), "http://" + site.domain + "/0\r\nhttp://" +
                                                               site.domain + "/1\r\nhttp://" + site.domain +
                                                               "/2\r\n");
    }
    // Two records of one 域名 and 用户 keep their addresses apart, each file named with its number.
    ASSERT_EQ(table.append(site, "http://a/#2", {}, "#2"), std::nullopt);
    EXPECT_NE(table.recordPath(site, "#2"), table.recordPath(site));
    EXPECT_NE(table.recordPath(site, "#2").filename().string().find("(u)#2 "), std::string::npos);
    EXPECT_EQ(test::readBytes(table.recordPath(site, "#2")), "http://a/#2\r\n");
    table.closeAll();
    EXPECT_LE(openFiles(), before);
}

// Regression: articles of one run sent within one second got one publish time, and 5.8.1 listed
// them in an unstable order (some on no list page, others twice). Each gets its own, a second
// after the one before while the clock has not passed it; a later clock is taken as it is.
TEST_F(SubmissionTest, ArticlesOfOneRunGetPublishTimesASecondApart) {
    ASSERT_TRUE(loginTo(utf8Site));
    BackEndLedger ledger;
    ArticleTracking tracking{&ledger, "s1"};
    for (int i = 0; i < 3; ++i) {
        content::ArticleDraft draft = sampleDraft();
        ASSERT_TRUE(submit(utf8Site, draft, 1, &tracking).published());
    }
    clock.advance(std::chrono::seconds(10));
    content::ArticleDraft draft = sampleDraft();
    ASSERT_TRUE(submit(utf8Site, draft, 1, &tracking).published());
    std::vector<std::string> times;
    for (const auto& article : server.articles("s1")) times.push_back(article.field("pubdate"));
    EXPECT_EQ(times, (std::vector<std::string>{"2024-05-07 09:03:02", "2024-05-07 09:03:03",
                                               "2024-05-07 09:03:04", "2024-05-07 09:03:12"}));
}

TEST_F(SubmissionTest, RefusedArticleKeepsTheAnswerInTheSiteCharset) {
    for (config::SiteConfig site : {utf8Site, gbkSite}) {
        ASSERT_TRUE(loginTo(site));
        content::ArticleDraft draft = sampleDraft();
        draft.title = "坏/标题:1";
        draft.typeId = 0;
        EXPECT_FALSE(submit(site, draft).published());
        std::string record = test::readBytes(failureRecordPath(data.path(), site, draft.title));
        EXPECT_EQ(failureRecordPath(data.path(), site, draft.title).filename().string(),
                  backend::fileNameSafe(site.domain) + "(admin) 坏／标题：1.html");
        std::string text = site.charset == 0 ? record : text::gbkToUtf8(record);
        EXPECT_NE(text.find("请指定文档的栏目！"), std::string::npos);
        EXPECT_EQ(text::isValidUtf8(record), site.charset == 0);
    }
}

// Regression: a record kept the whole answer, up to 64 MB per article, so a hostile site filled the
// disk in step with the article count.
TEST(FailureRecordTest, AHugeAnswerKeepsItsHeadAndSaysSo) {
    test::TempFolder data;
    config::SiteConfig site;
    site.domain = "a.com";
    site.user = "u";
    const std::size_t head = kMaxRecordAnswerBytes - 1;  // the next character would cross the limit
    const std::string answer = std::string(head, 'x') + "中" + std::string(3 * kMaxRecordAnswerBytes, 'y');
    ASSERT_FALSE(writeFailureRecord(data.path(), site, "t", answer, ""));
    EXPECT_EQ(test::readBytes(failureRecordPath(data.path(), site, "t")),
              std::string(head, 'x') + "\r\n<!-- 后台的回答共 " + std::to_string(answer.size()) +
                  " 字节，这里只保留了前 " + std::to_string(head) + " 字节 -->\r\n");
}

// Every sent field must be what the site's tables store: strict GBK (no GB18030 four-byte forms, no
// lone 0x80) or UTF-8 without four-byte forms. The body carries references for what is missing; the
// plain-text fields carry look-alikes, and what has none is left out and named in the log.
// Regressions: a GBK title "Niño Açaí" went as "Nino Acaí" without a word in the log; a '"' in the
// keywords or the description landed raw in the page's <meta ... content="...">.
TEST_F(SubmissionTest, EveryFieldIsInTheCharsetTheSiteStores) {
    struct Row {
        config::SiteConfig site;
        text::Charset stored;
        const char* title;
        const char* keywords;
        const char* body;
        const char* leftOut;
        const char* replaced;  // nullptr: nothing replaced
    };
    const Row rows[] = {
        {gbkSite, text::Charset::SiteGbk, "Nino Acaí 点·空 欧元表情", "商标TM ＂＜b＞＂",
         "<p>&#8226;&#160;&#8364;&#128512;</p>", "€😀", "标题中的 ñ、ç、• 已替换为 n、c、·："},
        {utf8Site, text::Charset::Utf8Bmp, "Niño Açaí 点•空\u00A0欧元€表情", "商标™ ＂＜b＞＂",
         "<p>•\u00A0€&#128512;</p>", "😀", nullptr},
    };
    for (const Row& row : rows) {
        ASSERT_TRUE(loginTo(row.site));
        logLines.clear();
        content::ArticleDraft draft = sampleDraft();
        draft.title = "Niño Açaí 点•空\u00A0欧元€表情😀";
        draft.keywords = "商标™ \"<b>\"";
        draft.body = "<p>•\u00A0€😀</p>";
        ASSERT_TRUE(submit(row.site, draft).published());

        std::map<std::string, std::string> fields;
        const std::string body = server.requests(row.site.charset == 0 ? "s1" : "g1").back().body;
        for (std::size_t start = 0; start < body.size();) {
            std::size_t end = std::min(body.find('&', start), body.size());
            std::string_view piece = std::string_view(body).substr(start, end - start);
            std::size_t eq = piece.find('=');
            std::optional<std::string> value =
                text::decode(oz::testing::percentDecode(piece.substr(eq + 1)), row.stored);
            ASSERT_TRUE(value.has_value()) << piece;
            fields.emplace(std::string(piece.substr(0, eq)), *value);
            start = end + 1;
        }
        EXPECT_EQ(fields["title"], row.title);
        EXPECT_EQ(fields["keywords"], row.keywords);
        EXPECT_EQ(fields["body"], row.body);
        std::vector<std::string> expectedLog{std::string("已略去站点编码不支持的字符“") + row.leftOut +
                                             "”：" + draft.title};
        if (row.replaced != nullptr) expectedLog.push_back(row.replaced + draft.title);
        EXPECT_EQ(logTexts(), expectedLog);
    }
}

TEST(ArticleForm, DescriptionCarriesNoMarkupCharacters) {
    content::ArticleDraft draft = sampleDraft();
    draft.description = "他说\"<b>好</b>\"";
    const std::vector<FormEntry> form =
        articleFormEntries(draft, config::SiteConfig{}, text::DateTime{}, 30, 10);
    EXPECT_EQ(form[23].name, "description");
    EXPECT_EQ(form[23].value, "他说＂＜b＞好＜/b＞＂");
}

// What DedeCMS 5.7 (InsertTags: more than 20 bytes dropped; char(12) columns) and DedeBIZ (255)
// make of a tag, by the bytes the site's charset gives it.
TEST(ArticleForm, TagsTheBackEndDropsOrCutsAreNamed) {
    struct Row {
        const char* tags;
        bool utf8;
        TagLimits limits;
        std::vector<std::string> warnings;
    };
    const TagLimits dedeCms{20, 12};
    const TagLimits dedeBiz{255, 255};
    const Row rows[] = {
        {" 一二三四五六 ,abc", true, dedeCms, {}},
        {"一二三四五六七",
         true,
         dedeCms,
         {"标签“一二三四五六七”长于后台的上限（20 字节，UTF-8 编码下为 21 字节），后台不保存它"}},
        {"一二三四五六七", false, dedeCms, {}},
        {"一二三四五六七八九十一",
         false,
         dedeCms,
         {"标签“一二三四五六七八九十一”长于后台的上限（20 字节，GBK 编码下为 22 字节），后台不保存它"}},
        {"abcdefghijklmn,a'b",
         true,
         dedeCms,
         {"标签“abcdefghijklmn”长于后台的上限（12 个字），后台只保存“abcdefghijkl”",
          "标签“a'b”含有引号或反斜杠，后台不保存它"}},
        {"一二三四五六七八九十一,abcdefghijklmn", true, dedeBiz, {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(tagWarnings(row.tags, row.utf8, row.limits), row.warnings) << row.tags;
}

TEST_F(SubmissionTest, ATagTheBackEndDropsIsSaidInTheLog) {
    ASSERT_TRUE(loginTo(utf8Site));
    logLines.clear();
    content::ArticleDraft draft = sampleDraft();
    draft.tags = "短,七个字的长标签";
    ASSERT_TRUE(submit(utf8Site, draft).published());
    EXPECT_EQ(logTexts(),
              std::vector<std::string>{"标签“七个字的长标签”长于后台的上限（20 字节，UTF-8 编码下为 "
                                       "21 字节），后台不保存它：" +
                                       draft.title});
}

TEST_F(SubmissionTest, DroppedSessionIsARefusalThatANewLoginMends) {
    oz::testing::StandinFaults faults;
    faults.dropSessionAfterArticles = 1;
    server.setFaults("s1", faults);
    ASSERT_TRUE(loginTo(utf8Site));
    content::ArticleDraft first = sampleDraft();
    EXPECT_TRUE(submit(utf8Site, first).published());
    content::ArticleDraft second = sampleDraft();
    second.title = "第二篇";
    const SubmitResult refused = submit(utf8Site, second);
    EXPECT_EQ(refused.outcome, SubmitOutcome::Failed);
    EXPECT_EQ(refused.reason, "后台登录已失效，转向了登录页");
    ASSERT_TRUE(loginTo(utf8Site));  // a new login brings the session back
    content::ArticleDraft third = sampleDraft();
    EXPECT_TRUE(submit(utf8Site, third).published());
}

struct FaultCase {
    const char* name;
    oz::testing::StandinFaults faults;
    SubmitOutcome outcome;
};

oz::testing::StandinFaults makeFaults(void (*set)(oz::testing::StandinFaults&)) {
    oz::testing::StandinFaults faults;
    set(faults);
    return faults;
}

class SubmissionFaultTest
    : public SubmissionTest,
      public ::testing::WithParamInterface<std::tuple<FaultCase, test::StandinRelease>> {
   protected:
    SubmissionFaultTest() { release = std::get<1>(GetParam()); }
};

// An answer that says nothing trustworthy is settled on the site: a stored article is confirmed
// (DedeBIZ's list and view pages read as well), and a site that cannot be asked leaves the outcome
// unknown, on record. On every release a stored article's own page is read as published: DedeBIZ's
// add form was opened at the login, so its article_add.php does not fail after storing.
TEST_P(SubmissionFaultTest, OutcomeFollowsTheAnswerAndTheSite) {
    const FaultCase& fault = std::get<0>(GetParam());
    ASSERT_TRUE(loginTo(utf8Site));
    server.setFaults("s1", fault.faults);
    content::ArticleDraft draft = sampleDraft();
    BackEndLedger ledger;
    ArticleTracking tracking{&ledger, backEndKey(utf8Site)};
    const SubmitResult result = submit(utf8Site, draft, 1, &tracking);
    EXPECT_EQ(result.outcome, fault.outcome) << result.reason;
    const std::filesystem::path record = failureRecordPath(data.path(), utf8Site, draft.title);
    EXPECT_EQ(std::filesystem::exists(record), !result.published());
    if (result.outcome == SubmitOutcome::Unknown) {
        EXPECT_EQ(test::readBytes(record).rfind("<!-- 结果未知（HTTP 500，服务器内部错误", 0), 0u);
    }
    if (result.published()) {
        EXPECT_EQ(result.address, "http://" + server.hostAndPort() + server.articles("s1").at(0).url);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SubmissionFaultTest,
    ::testing::Combine(
        ::testing::Values(
            FaultCase{"gzip", makeFaults([](auto& f) { f.gzipAnswers = true; }), SubmitOutcome::Published},
            FaultCase{"delay", makeFaults([](auto& f) { f.delayMs = 300; }), SubmitOutcome::Published},
            FaultCase{"ownSuccessPage", makeFaults([](auto& f) { f.omitSuccessText = true; }),
                      SubmitOutcome::Confirmed},
            FaultCase{"gateway504AfterStore",
                      makeFaults([](auto& f) { f.storedAnswer = oz::testing::StoredAnswer::GatewayTimeout; }),
                      SubmitOutcome::Confirmed},
            FaultCase{"status500Always", makeFaults([](auto& f) { f.serverError = true; }),
                      SubmitOutcome::Unknown}),
        test::kEveryRelease),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).name) + "_" +
               test::releaseName(::testing::TestParamInfo<test::StandinRelease>(std::get<1>(info.param), 0));
    });

// Refusals name the back end's text; a request that never reached the server names its transport
// reason. Neither leaves anything on the site, so both may be sent again.
TEST_F(SubmissionTest, FailuresSayWhyInTheBackEndsWords) {
    ASSERT_TRUE(loginTo(utf8Site));
    content::ArticleDraft refused = sampleDraft();
    refused.typeId = 99;
    SubmitResult result = submit(utf8Site, refused);
    EXPECT_EQ(result.outcome, SubmitOutcome::Failed);
    EXPECT_EQ(result.reason, "你所选择的栏目与当前模型不相符，请选择白色的选项！");
    ASSERT_TRUE(std::filesystem::exists(failureRecordPath(data.path(), utf8Site, refused.title)));
    content::ArticleDraft published = sampleDraft();  // the same title, now taken
    ASSERT_TRUE(submit(utf8Site, published).published());
    EXPECT_FALSE(std::filesystem::exists(failureRecordPath(data.path(), utf8Site, refused.title)));
    server.stop();
    content::ArticleDraft unsent = sampleDraft();
    result = submit(utf8Site, unsent);
    EXPECT_EQ(result.outcome, SubmitOutcome::Failed);
    EXPECT_EQ(result.reason, "连接被拒绝");
    EXPECT_NE(test::readBytes(failureRecordPath(data.path(), utf8Site, unsent.title)).find("连接被拒绝"),
              std::string::npos);
}

// libcurl sends a request again by itself when a kept-alive connection dies before any answer
// byte came; a post that changes the site takes a connection of its own, so it is stored once.
TEST_F(SubmissionTest, APostThatChangesTheSiteIsNeverSentTwiceByTheTransport) {
    ASSERT_TRUE(loginTo(utf8Site));  // leaves a kept-alive connection
    oz::testing::StandinFaults faults;
    faults.storedAnswer = oz::testing::StoredAnswer::CloseKeptAlive;
    server.setFaults("s1", faults);
    AdminSession session{utf8Site, requester};
    const std::string url = backEndBaseUrl(utf8Site) + "/article_add.php";
    requestPage(session, context, url, "channelid=1&dopost=save&typeid=1&title=reused");
    requestPage(session, context, url, "channelid=1&dopost=save&typeid=1&title=once", http::kDecodeAuto, 0,
                /*sendOnce=*/true);
    std::map<std::string, int> copies;
    for (const auto& article : server.articles("s1")) ++copies[article.title];
    EXPECT_EQ(copies["reused"], 2);  // what an ordinary request risks
    EXPECT_EQ(copies["once"], 1);
}

TEST_F(SubmissionTest, NeverAnsweringServerEndsWithTheStopFlag) {
    ASSERT_TRUE(loginTo(utf8Site));
    oz::testing::StandinFaults faults;
    faults.neverAnswer = true;
    server.setFaults("s1", faults);
    std::thread stopper([this] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        requestStop = true;
    });
    auto start = std::chrono::steady_clock::now();
    content::ArticleDraft draft = sampleDraft();
    EXPECT_EQ(submit(utf8Site, draft).outcome, SubmitOutcome::Unknown);
    stopper.join();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_EQ(test::readBytes(failureRecordPath(data.path(), utf8Site, draft.title))
                  .rfind("<!-- 结果未知（请求已中止） -->", 0),
              0u);
}

TEST_F(SubmissionTest, FollowUpsRunTheProgressFramesWhenChecked) {
    oz::testing::StandinSite tags;
    tags.prefix = "t1";
    tags.tagFrames = 2;
    const config::SiteConfig site = loggedInWithFollowUps(tags);
    content::ArticleDraft draft = sampleDraft();
    ASSERT_TRUE(submit(site, draft, 4).published());

    auto lines = requestLines("t1");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], "POST /t1/dede/article_add.php");
    for (std::size_t i = 1; i < lines.size(); ++i)
        EXPECT_EQ(lines[i].rfind("GET /t1/dede/task_do.php?", 0), 0u);
    auto texts = logTexts();
    ASSERT_EQ(texts.size(), 6u);
    EXPECT_EQ(texts[0], "开始刷新Kivra下篇文档");
    EXPECT_EQ(texts[1], "结束刷新Kivra下篇文档");
    EXPECT_EQ(texts[2], "开始刷新Kivratag列表");
    EXPECT_EQ(texts[3].rfind("task_do.php?", 0), 0u);
    EXPECT_EQ(texts[5], "结束刷新Kivratag列表");
    EXPECT_EQ(logLines.front().first, 4);
}

// Tag frames are followed also without the next-article frame, up to the cap per article.
// Regression: a success page with thousands of tag frames made as many requests and log lines.
TEST_F(SubmissionTest, TagFramesAreFollowedUpToTheirCap) {
    context.limits.tagFollowUps = 3;
    for (const auto& [prefix, frames] : {std::pair{"t2", 1}, {"t3", 7}}) {
        oz::testing::StandinSite tags;
        tags.prefix = prefix;
        tags.progressFrame = false;
        tags.tagFrames = frames;
        const config::SiteConfig site = loggedInWithFollowUps(tags);
        logLines.clear();
        content::ArticleDraft draft = sampleDraft();
        ASSERT_TRUE(submit(site, draft).published());
        EXPECT_EQ(requestLines(prefix).size(), 1u + static_cast<std::size_t>(std::min(frames, 3)));
        const auto texts = logTexts();
        EXPECT_EQ(texts.front(), "开始刷新Kivratag列表");
        if (frames > 3) {
            EXPECT_EQ(texts[texts.size() - 2], "tag列表页过多：只刷新了前 3 个，略过其余 4 个");
        }
    }
}

TEST(ArticleAddressTest, ReadsTheLinkInEitherQuoteStyle) {
    config::SiteConfig site;
    site.domain = "www.example.com/sub";
    site.https = true;
    std::string captured = test::readBytes(std::filesystem::path(OZ_SOURCE_DIR) /
                                           "tests/backend/answers/e-article_add-save.html");
    EXPECT_EQ(articleAddress(site, captured, kDedeCms),
              "https://www.example.com/a/news/guonei/2026/1209/1.html");
    std::string doubleQuoted =
        "<a href=\"article_add.php?cid=3\"><u>继续发布文章</u></a>"
        "<a href=\"/a/b/2.html\" target=\"_blank\"><u>查看文章</u></a>";
    EXPECT_EQ(articleAddress(site, doubleQuoted, kDedeCms), "https://www.example.com/a/b/2.html");
    // A back end that links the whole URL (a site of its own for the category).
    EXPECT_EQ(articleAddress(site, "<a href='http://news.example.com/2.html'><u>查看文章</u></a>", kDedeCms),
              "http://news.example.com/2.html");
}

}  // namespace
}  // namespace oz::backend
