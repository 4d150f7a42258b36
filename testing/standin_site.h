#pragma once

// One site of the stand-in back end: its account, categories, articles and sessions, and the
// answers of its back-end pages. Knows nothing of HTTP transport; StandinServer feeds it.

#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "testing/standin_family.h"
#include "testing/standin_form.h"
#include "testing/standin_server.h"
#include "text/clock.h"

namespace oz::testing {

// A file part of a multipart request.
struct UploadedFile {
    std::string field;
    std::string fileName;
    std::string contentType;
    std::string bytes;
};

struct SiteRequest {
    std::string method;
    std::string path;    // decoded, below the site prefix: "/dede/login.php"
    std::string target;  // path and query from the host root as sent: "/s1/dede/article_add.php?channelid=1"
    std::string query;   // as sent, without "?"
    std::string body;
    std::string cookies;              // the Cookie header
    std::string host;                 // the Host header
    std::vector<UploadedFile> files;  // multipart: the file parts (the text parts are in body)
};

struct SiteAnswer {
    int status = 200;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;    // bytes in the site's charset (handle's result)
    bool isText = true;  // inside: body is UTF-8 text still to be encoded in the site's charset
    // A stored article whose answer misbehaves: the server, which owns the connection, spoils it.
    StoredAnswer storedAnswer = StoredAnswer::Page;
    int workMicros = 0;  // the time the page took to make; the server waits it before it answers
};

class SiteBackEnd {
   public:
    explicit SiteBackEnd(StandinSite site);

    const std::string& prefix() const { return m_prefix; }
    const std::string& sitePath() const { return m_sitePath; }  // "/s1"; "" for the root site
    const std::string& adminDir() const { return m_adminDir; }

    SiteAnswer handle(const SiteRequest& request);  // thread-safe

    StandinFaults faults() const;
    void setFaults(const StandinFaults& faults);
    std::vector<StandinCategory> categories() const;
    std::vector<StoredArticle> articles();  // with the late stores that are due
    std::size_t articleCount();
    std::vector<StoredUpload> uploads() const;
    // Where late stores take their time from; nullptr: the steady clock.
    void setClock(const oz::text::Clock* clock);
    int loginCount() const;
    std::pair<std::string, std::string> homePage() const;

    // "" when the site is usable, else what is wrong with it.
    static std::string validate(const StandinSite& site);

   private:
    struct Session {
        bool loggedIn = false;
        std::string user;  // the account logged in
        int articles = 0;
        bool addFormOpened = false;  // the add form was opened in this session (openAddFormFirst)
    };
    // An account's wrong passwords since its last login, and when the latest came
    // (StandinFamily::captchaAfterWrongPasswords).
    struct LoginErrors {
        int count = 0;
        std::chrono::steady_clock::time_point last;
    };
    struct Context;  // one request being answered

    // standin_site.cpp: the routing, and the answers every page shares.
    SiteAnswer dispatch(Context& context);
    SiteAnswer adminPage(Context& context, const std::string& page);
    SiteAnswer systemSettings();
    SiteAnswer page(const std::string& utf8Body) const;
    // The answer of something just stored, spoiled as StandinFaults::storedAnswer asks.
    SiteAnswer spoiledIfAsked(SiteAnswer answer);
    SiteAnswer message(std::string_view text, std::string_view gotoUrl, int waitMs = 1000) const;
    SiteAnswer successMessage(std::string_view text, std::string_view gotoUrl, int waitMs = 1000) const;
    static SiteAnswer notFound();
    static SiteAnswer serverError();  // PHP's fatal error: 500 with an empty body
    std::string charsetLabel() const;

    // standin_login.cpp: sessions and the login.
    SiteAnswer loginPage(Context& context);  // the form, or the login itself
    SiteAnswer login(Context& context);
    SiteAnswer redirectToLogin(Context& context);
    Session* session(Context& context);      // the request's known session, or nullptr
    Session& openSession(Context& context);  // the known session, or a new one with its cookies set
    std::string newSessionId();

    // standin_articles.cpp: the add form and the stored articles.
    SiteAnswer articleAdd(Context& context);
    std::int64_t nowMs() const;
    void storeDueArticles();
    // Gives the article its id and address and stores it.
    const StoredArticle& storeArticle(StoredArticle article);

    // standin_archives.cpp: the article list, an article's edit and view pages, the deletion.
    SiteAnswer contentList(Context& context);
    SiteAnswer articleEdit(Context& context);
    SiteAnswer archivesDo(Context& context);

    // standin_make_pages.cpp: the actions that write the static pages.
    SiteAnswer taskDo(Context& context);
    SiteAnswer listAction(Context& context);
    SiteAnswer rssAction(Context& context);
    SiteAnswer makeAll(Context& context);
    SiteAnswer homePageAction(Context& context);
    SiteAnswer siteMapAction(Context& context);

    // standin_categories.cpp: the category tree and its pages.
    SiteAnswer catalogAdd(Context& context);
    SiteAnswer catalogDel(Context& context);
    SiteAnswer catalogEdit(Context& context);
    std::string expandDir(const std::string& typeDir) const;
    const StandinCategory* category(int id) const;
    std::vector<int> subtree(int id) const;              // id and its descendants, tree order
    std::vector<std::pair<int, int>> treeOrder() const;  // (id, depth)

    // standin_uploads.cpp
    SiteAnswer pictureUpload(Context& context);
    // The stored picture at the path below the site, when there is one.
    bool storedUpload(const std::string& path, SiteAnswer& answer) const;

    // standin_visitor.cpp: a page the back end wrote, as the visitor gets it; nullopt when the
    // path is none of them.
    std::optional<SiteAnswer> visitorPage(const SiteRequest& request);
    void madeList(int typeId);  // the list action wrote the category's list pages
    void madeHomePage();        // the home page action wrote the home page

    const std::string m_prefix;
    const std::string m_sitePath;
    const std::string m_adminDir;
    const std::string m_installPrefix;                                  // "" or "cms/"
    const std::vector<std::pair<std::string, std::string>> m_accounts;  // user, password; the first is 用户
    const oz::text::Charset m_charset;
    const bool m_progressFrame;
    const int m_tagFrames;
    const int m_titleMaxBytes;
    const StandinFamily& m_family;
    const std::string m_version;
    const std::size_t m_uploadMaxBytes;
    const std::string m_cookieEncode;

    mutable std::mutex m_mutex;
    StandinFaults m_faults;
    std::vector<StandinCategory> m_categories;  // by id
    int m_nextCategoryId = 1;
    std::vector<StoredArticle> m_articles;
    int m_nextArticleId = 1;
    struct LateStore {
        std::int64_t dueMs = 0;
        StoredArticle article;
    };
    std::vector<LateStore> m_lateStores;  // in the order they are due
    const oz::text::Clock* m_clock = nullptr;
    std::unordered_map<std::string, std::size_t> m_articleByUrl;
    std::unordered_map<std::string, Session> m_sessions;
    std::map<std::string, LoginErrors> m_loginErrors;
    int m_loginCount = 0;
    int m_storedForFaults = 0;  // stored articles counted for StandinFaults::storedAnswerEvery
    std::map<int, std::vector<int>> m_madeLists;  // category → its articles' ids when its list was made
    std::vector<int> m_homeMade;                  // the home page's articles when it was made
    bool m_homePageMade = false;
    std::string m_homeTemplet;
    std::string m_homePosition;
    unsigned long long m_sessionCounter = 0;
    std::vector<StoredUpload> m_uploads;
    std::unordered_map<std::string, std::size_t> m_uploadByUrl;
};

// One request being answered.
struct SiteBackEnd::Context {
    const SiteRequest& request;
    FormFields fields;  // query then body, as PHP's $_REQUEST sees them
    FormFields bodyFields;
    std::vector<std::pair<std::string, std::string>> setCookies;
    std::string sessionId;  // the known session of the request, or the one opened for it
};

}  // namespace oz::testing
