#pragma once

// The stand-in back end: a small HTTP server on 127.0.0.1 that answers as the admin back end of a
// DedeCMS 5.7 site does (or of a 5.8.1 beta or a DedeBIZ 6.2.10 site, see StandinRelease), so that
// tests, benchmarks and the demo run without a real site.
//
// Include it as "testing/standin_server.h" (oz_standin puts the source root on the include path).
//
// URL layout. Every site lives under its own path prefix, so one server holds many sites. For a site
// with prefix "s1" and back-end folder "dede" the site setting 域名 is "127.0.0.1:PORT/s1" (see
// siteDomain) and 目录 is "dede":
//   GET  /s1/dede                        301 to http://HOST/s1/dede/ (absolute Location, no cookie)
//   GET  /s1/dede/                       302 "login.php?gotopage=%2Fs1%2Fdede%2F"; a request without a
//                                        known session cookie gets a new one (PHPSESSID and two
//                                        _csrf_name_ cookies, path "/s1/"); logged in: the admin index
//   GET  /s1/dede/login.php              the login form
//   GET  /s1/include/vdimgck.php         a JPEG; opens a session when the request carries none
//                                        (for 目录 "cms/dede": /s1/cms/include/vdimgck.php)
//   POST /s1/dede/login.php              userid, pwd: "成功登录，正在转向管理管理主页！" on success;
//                                        "你的密码错误!", "你的用户名不存在!"; without the session cookie
//                                        of the requests above: "验证码不正确!" (login refused)
//   GET  /s1/dede/article_add.php        the add-article form with <select name='typeid' id='typeid'>:
//                                        a placeholder option of value 0, then the categories in tree
//                                        order, each name preceded by one "─" per level below the top
//   POST /s1/dede/article_add.php        channelid=1&dopost=save&typeid=N&...: stores the article and
//                                        answers the success page whose link
//                                        <a href='/s1/a/...html' target='_blank'><u>查看文章</u></a>
//                                        holds the article's path from the host root, and the
//                                        "stafrm" frames (200px: task_do.php, 40px: tag frames);
//                                        "请指定文档的栏目！" (typeid missing or 0),
//                                        "你所选择的栏目与当前模型不相符，请选择白色的选项！" (unknown
//                                        typeid), "文档为非指定的类型，请检查你发布内容的表单是否合法！"
//                                        (channelid not 1); without dopost=save: the form. The title
//                                        is stored as the real back end stores it ('"' as '＂', cut
//                                        at titleMaxBytes bytes, HTML-escaped, cut to the CHAR(60)
//                                        column); the answer of a stored article follows
//                                        StandinFaults::storedAnswer, and its store may come later
//                                        (StandinFaults::storeAfterMs)
//   GET  /s1/dede/task_do.php            the stafrm frames: "完成上下篇文档更新任务！完成所有更新任务！"
//                                        (dopost=makeprenext), "完成所有更新任务！" (other frames)
//   GET  /s1/dede/makehtml_list_action.php   typeid=0: all categories by id; typeid=N: N and its
//                                        descendants; pageno=K makes the K-th. A page before the last
//                                        says "成功创建栏目：ID，继续进行操作！" with a continuation
//                                        link "如果你的浏览器没反应..." to pageno=K+1; the last (or an
//                                        empty list) says "完成所有栏目列表更新！" (gotype=mkallct:
//                                        "完成所有栏目列表更新，现在作最后数据优化！" and on to
//                                        makehtml_all.php step 10)
//   GET  /s1/dede/makehtml_rss_action.php    tid=T (default 0): "成功更新/s1/data/rss/ID.xml，继续进行操作！"
//                                        for the first category with an id above T, linking tid=ID;
//                                        none left: the bare text "完成所有文件更新！"
//   POST /s1/dede/makehtml_all.php       action=make: the update-everything chain through
//                                        makehtml_all.php?step=2,3,4, the mkallct list pages and
//                                        step=10, which ends with "完成所有文件的更新！"
//   GET  /s1/dede/makehtml_homepage.php  the home-page form: inputs name/id "templet" and "position"
//   POST /s1/dede/makehtml_homepage.php  dopost=make: "成功更新主页HTML：..."; saveset=1 keeps the
//                                        posted templet and position as the form's new values
//   GET  /s1/dede/makehtml_map.php       dopost=site|rss: "成功更新文件: /s1/data/sitemap.html 浏览..."
//   GET  /s1/dede/makehtml_xmlpage.php, makehtml_txtpage.php   a form with inputs id "templet",
//                                        "position"
//   GET  /s1/dede/sys_cache_up.php, map.php, makehtml_tag_action_index.php, templets_one_edit.php,
//        makehtml_freelist_action.php, makehtml_sitemap.php   a finished message page
//   GET  /s1/dede/catalog_edit.php?id=N  the edit form with <input name="typedir" ... id="typedir"
//                                        value="{cmspath}/a/...">
//   POST /s1/dede/catalog_add.php        dopost=save&reid=P&typename=...: "成功创建一个分类！" (the answer
//                                        follows StandinFaults::storedAnswer, as an article's does)
//   POST /s1/dede/catalog_del.php        dopost=ok&id=N&delfile=yes|no: "成功删除一个栏目！" (also for
//                                        an unknown id, as the real back end does)
//   POST /s1/dede/archives_do.php        fmdo=yes&dopost=delArchives&qstr=ID`ID...: "成功删除指定的文档！";
//                                        without fmdo=yes: a confirmation form, nothing deleted
//   GET  /s1/dede/archives_do.php        dopost=viewArchives&aid=N: a script sending the browser to the
//                                        article's page, location.href='/s1/a/...html?TIME';
//                                        dopost=editArchives&aid=N: 302 to article_edit.php?aid=N
//   GET  /s1/dede/article_edit.php       aid=N: the edit form with <input name="title" value="...">
//                                        holding the title column as it is
//   GET  /s1/dede/sys_info.php           the settings page with the inputs edit___cfg_title_maxlen and
//                                        edit___cfg_cookie_encode
//   GET  /s1/dede/content_list.php       the article list, newest first (orderby=FIELD: by that
//                                        field; StandinFaults::defaultListOrder), 30 rows a page (pageno=K):
//                                        the articles whose stored title holds `keyword`; each row
//                                        carries the edit link archives_do.php?aid=N&dopost=editArchives
//                                        with the title in <u>...</u> as 5.7.88's list cleans it
//                                        (commas dropped, ' ` " ( ) as full-width look-alikes; blank on a
//                                        GBK site where it puts one in) and the link content_list.php?cid=T
//   GET  /s1/a/...html                   a stored article's page
//   POST /s1/include/dialog/select_images_post.php   (5.8.1 and DedeBIZ: /s1/dede/dialog/...) the
//                                        editor's picture upload, multipart: the file "imgfile",
//                                        CKUpload=1; stores the bytes under /s1/uploads/allimg/YYMMDD/
//                                        (DedeBIZ: /static/allimg/) and answers the editor's callback
//                                        script (5.8.1, DedeBIZ: JSON {"url":...,"uploaded":1}); refuses
//                                        as each release does (extension list, type list, a file that
//                                        is no picture, no file: one above uploadMaxBytes); 5.7.88 ends
//                                        a GIF that no JPEG or PNG part of the request came before in
//                                        HTTP 500; the watermark follows needwatermarkup (5.7.88) or
//                                        needwatermark (others; absent: on). Without a session on 5.7:
//                                        "提示：需输入后台管理目录才能登录". GET of the stored address
//                                        serves the bytes.
//   GET  /s1/data/admin/ver.txt          the release's date: "20210806" (for 目录 "cms/dede":
//                                        /s1/cms/data/admin/ver.txt)
// Anything else answers 404. Every back-end page except the folder redirects, login.php and
// vdimgck.php needs a logged-in session; without one it answers 302 "login.php?gotopage=" + the
// encoded path and query.
// Pages of a GBK site are encoded in GBK and declare charset=gb2312 (Content-Type and meta tags);
// its request values are decoded from GBK percent-encoding. Form values follow PHP's rules
// ("+" is a space, fields split at "&", the first "=" splits name and value); the text parts of a
// multipart body are form fields, its file parts are the request's files. The switches neverAnswer, delayMs,
// serverError and garbageAnswers act before the site sees the request (a request they answer has no effect);
// the others act inside the pages. StandinServerOptions::answerDelayMs delays every answer of the server, as
// a distant host would.
//
// Each release's paths, texts and page forms are in one table of testing/standin_family.cpp.
// DedeCMS 5.8.1 beta (StandinRelease::DedeCms58) differs in the verification image
// (/s1/plus/vdimgck.php), archives_do.php's qstr separator (",") and ver.txt ("20210201"), and in
// its picture upload (in the back-end folder, as described above).
// DedeBIZ 6.2.10 (StandinRelease::DedeBiz6; its back-end folder is "admin") answers as the real one
// does on PHP 8.2:
//   - message pages titled "系统提示", the message after the write of "<div class='tips-body'>",
//     the continuation link "<a href='URL' class='btn btn-success btn-sm'>点击反应</a>";
//   - the login page names DedeBIZ and loads ../apps/vdimgck.php (served there); the login answers
//     "正在登录后台管理，请稍等", "管理员密码错误", "管理员账号错误"; after three wrong passwords of an
//     account, the last within 60 s, it answers "验证码不正确" until a login without that condition;
//   - the add form's options read "└─ 国内新闻"; a stored article's page is "成功发布文档" with the
//     button <a href='URL' target='_blank' class='btn btn-success btn-sm'>浏览文档</a> and a 360px
//     "stafrm" frame; a post in a session that never opened the add form stores the article and
//     answers HTTP 500 with an empty body, as does a post into an unknown category (nothing stored);
//   - the article list shows each title in its edit link without "<u>";
//   - list action: "更新NAME栏目[id：ID]，继续更新栏目", "完成所有栏目更新"; no makehtml_rss_action.php
//     or makehtml_map.php (404); makehtml_all.php ends with "完成所有栏目文档更新"; the home page:
//     "更新静态首页，<a href='POSITION' target='_blank'>点击浏览</a>";
//   - catalog_add.php: "成功创建一个栏目"; catalog_del.php deletes the category alone (not its
//     children) with its articles and answers HTTP 500 with an empty body, also for an unknown id
//     (which it leaves); catalog_edit.php of an unknown id answers HTTP 500;
//   - archives_do.php: "成功删除指定文档"; an id of qstr the site does not hold ends the request with
//     HTTP 500 and an empty body (the ids before it are deleted);
//   - ver.txt "20230630".
// Every release drops the characters of a qstr piece that are not digits, as the real DelArc does.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/charset.h"
#include "text/clock.h"

namespace oz::testing {

struct StandinCategory {
    int id = 0;
    std::string name;     // UTF-8
    int parentId = 0;     // 0: a top-level category
    std::string typeDir;  // as the back end stores it: "{cmspath}/a/news"; {cmspath} is the site prefix
    int listPages = 1;    // its list pages: more than the list action's maxpagesize are made in chunks
};

// What comes back for a stored article, as gateways and flaky hosts answer while PHP goes on and
// stores it. The article is stored whatever the answer.
enum class StoredAnswer {
    Page,            // the success page
    GatewayTimeout,  // "504 Gateway Time-out" from a gateway (nginx's page)
    ServerError,     // "500 Internal Server Error"
    Garbage,         // random bytes
    DropConnection,  // the connection is closed without an answer
    Late,            // the success page after StandinFaults::lateAnswerMs (a client time-out comes first)
    CloseKeptAlive,  // on a kept-alive connection (not its first request): closed without an answer;
                     // on a connection of its own: the success page
};

// Misbehaviour switches of one site. All off by default; change them any time with setFaults.
struct StandinFaults {
    bool refuseLogin = false;      // the login answers "你的密码错误!" whatever the password
    bool loginCaptcha = false;     // the login asks for a verification code (the back end's default): without
                                   // a validate field it answers "验证码不正确!"
    bool omitSuccessText = false;  // actions still take effect (login, article stored, ...), but every
                                   // answer that would carry a success, progress or end text is a
                                   // neutral message page without one and without a continuation link
    int delayMs = 0;               // every answer of the site waits this long first
    bool neverAnswer = false;      // requests hang (each holding a worker thread) until stop(), which
                                   // closes the connection without an answer, or until
                                   // StandinServerOptions::neverAnswerCapMs, then "503" with no body
    int dropSessionAfterArticles = 0;  // > 0: a session is forgotten after that many stored articles, so the
                                       // next page redirects to login.php
    bool gzipAnswers = false;     // bodies are gzip-compressed (Content-Encoding: gzip), asked for or not
    bool serverError = false;     // every answer is "500 Internal Server Error"
    bool garbageAnswers = false;  // every answer is 200 with random bytes instead of the page
    bool endlessChain = false;    // progress chains (list, RSS, makehtml_all, task_do) never reach their
                                  // end: every page links to a next one
    StoredAnswer storedAnswer = StoredAnswer::Page;  // the answer of a stored article, category or picture...
    int storedAnswerEvery = 1;                       // ...for every Nth of them stored by the site
    int lateAnswerMs = 3000;                         // StoredAnswer::Late
    // An article whose answer is spoiled is stored... 0: before the answer; > 0: this long after the
    // request, as PHP goes on after a gateway gave up (its answer says nothing of it, and the list
    // does not show it until then); < 0: never (PHP died).
    int storeAfterMs = 0;
    // Each list page the list action makes takes this long, as a host that renders it does (a
    // chunk of 50 pages of a large category takes about 0.25 s on this machine's real back end).
    int listPageMicros = 0;
    // The pages a visitor gets (articles, list pages, the home page) show the template engine's
    // text for a template file it cannot read (" /…/article_article.htm Not Found! "), as a live site
    // whose template was deleted or broken does; the back end's answers say nothing of it.
    bool brokenTemplates = false;
    bool visitorPagesMissing = false;  // those pages answer 404 (written elsewhere than the web root)
    // The article list's order when the request names none (a changed list template): "id" (newest
    // first, the back end's own), "click" (most viewed first, then oldest first). A request's
    // orderby=FIELD orders by that field, newest first among equals, as the real list does.
    std::string defaultListOrder = "id";
};

enum class StandinRelease { DedeCms57, DedeCms58, DedeBiz6 };

// One site of the server.
struct StandinSite {
    std::string prefix = "s1";      // path prefix without surrounding "/"; may hold "/" ("a/b"); "" = root
    std::string adminDir = "dede";  // 目录; "cms/dede" puts vdimgck.php under /PREFIX/cms/include/
    std::string user = "admin";
    std::string password = "admin";
    std::vector<std::pair<std::string, std::string>> moreAccounts;  // further user, password pairs
    int titleMaxBytes = 60;  // 标题最大长度: a longer title is stored cut to whole characters
    oz::text::Charset charset = oz::text::Charset::Utf8;  // Utf8 or Gbk
    std::vector<StandinCategory> categories = sampleCategories();
    std::string homeTemplet = "default/index.htm";
    std::string homePosition = "../index.html";
    bool progressFrame = true;  // the success page carries the 200px "stafrm" frame (task_do.php)
    int tagFrames = 0;          // number of 40px "stafrm" frames (task_do.php?dopost=maketag...)
    StandinFaults faults;
    StandinRelease release = StandinRelease::DedeCms57;
    std::string version;  // what data/admin/ver.txt holds; empty: the release's own date
    // PHP's upload_max_filesize: a larger file never reaches the upload page, which then finds none.
    std::size_t uploadMaxBytes = 2u * 1024u * 1024u;
    // cfg_cookie_encode on the settings page, unique to the installation; empty: one made from the
    // prefix. Two sites given one value are one back end answering on two addresses.
    std::string cookieEncode;

    // Three categories as on a sample DedeCMS site: 1 新闻中心, 3 国内新闻 (child of 1), 2 技术文章.
    static std::vector<StandinCategory> sampleCategories();
};

// One request exactly as it arrived.
struct RecordedRequest {
    std::string site;    // prefix of the site it went to; empty when none matched (or the root site)
    std::string method;  // "GET", "POST"
    std::string path;    // as sent, still percent-encoded
    std::string query;   // as sent, without "?"; empty when none
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;  // raw bytes

    std::string header(std::string_view name) const;  // first value, name compared ignoring case
};

// An article stored by a successful POST to article_add.php.
struct StoredArticle {
    int id = 0;
    std::string site;
    int typeId = 0;
    std::string url;  // path from the host root, as in the success link: "/s1/a/news/2026/1209/1.html"
    std::vector<std::pair<std::string, std::string>> fields;  // every body field in order, decoded to UTF-8
    std::string title;  // the title column: the title field rewritten, cut and escaped as the back end does
    bool deleted = false;  // removed through archives_do.php or catalog_del
    std::string user;      // the account whose session stored it

    std::string field(std::string_view name) const;                     // first value; empty when absent
    std::vector<std::string> fieldValues(std::string_view name) const;  // all values ("flags[]")
    bool hasField(std::string_view name) const;
};

// A picture stored by the editor's upload page (dialog/select_images_post.php).
struct StoredUpload {
    std::string url;          // from the host root: "/s1/uploads/allimg/261210/1-1.png"
    std::string bytes;        // as stored
    std::string fileName;     // as the request named it
    std::string contentType;  // as the request gave it
    bool watermark = false;   // the back end would put its watermark on it (a large enough picture)
};

struct StandinServerOptions {
    int threads = 32;                 // worker threads; a keep-alive connection holds one while open
    int keepAliveTimeoutSeconds = 2;  // an idle keep-alive connection is closed after this
    int neverAnswerCapMs = 120000;
    int answerDelayMs = 0;       // every answer of the server (any site, any path) waits this long first
    bool recordRequests = true;  // off for long benchmarks; requestCount counts either way
};

// Usage in a fixture:
//   StandinServer server;  server.addSite({});  ASSERT_TRUE(server.start());
//   ... site.domain = server.siteDomain("s1"); ...            server.stop();
// All members are thread-safe; accessors return copies. stop() also shuts down the connections the
// server accepted, so idle keep-alive connections of clients still alive do not hold it up; after a
// restart (on a new port unless one is given) clients simply connect again.
class StandinServer {
   public:
    explicit StandinServer(StandinServerOptions options = {});
    ~StandinServer();  // stops
    StandinServer(const StandinServer&) = delete;
    StandinServer& operator=(const StandinServer&) = delete;

    bool start(int port = 0);  // 0: a free port; false when it cannot bind or already runs. Sites may
                               // be added before or after start.
    void stop();               // ends pending (delayed, never-answering) requests too
    bool isRunning() const;
    int port() const;  // 0 before start

    std::string hostAndPort() const;                        // "127.0.0.1:PORT"
    std::string siteDomain(std::string_view prefix) const;  // "127.0.0.1:PORT/s1": the 域名 setting
    std::string backEndUrl(std::string_view prefix) const;  // "http://127.0.0.1:PORT/s1/dede"

    bool addSite(StandinSite site);  // false when the prefix is taken or the site is malformed
    // Where the sites' late stores (StandinFaults::storeAfterMs) take their time from, for sites
    // added before and after; nullptr: the steady clock. The clock must outlive the server.
    void setClock(const oz::text::Clock* clock);
    bool setFaults(std::string_view prefix, const StandinFaults& faults);
    StandinFaults faults(std::string_view prefix) const;

    std::vector<StandinCategory> categories(std::string_view prefix) const;       // current, by id
    std::vector<StoredArticle> articles(std::string_view prefix) const;           // in arrival order
    std::size_t articleCount(std::string_view prefix) const;                      // not deleted ones
    std::vector<StoredUpload> uploads(std::string_view prefix) const;             // in arrival order
    int loginCount(std::string_view prefix) const;                                // successful logins
    std::pair<std::string, std::string> homePage(std::string_view prefix) const;  // templet, position

    std::vector<RecordedRequest> requests() const;                         // all, in arrival order
    std::vector<RecordedRequest> requests(std::string_view prefix) const;  // one site's
    std::size_t requestCount() const;  // since the start or the last clear, recorded or not
    void clearRequests();

   private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace oz::testing
