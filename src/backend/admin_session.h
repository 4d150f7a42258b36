#pragma once

#include <string>
#include <string_view>

#include "backend/backend_context.h"
#include "config/site_config.h"
#include "http/http_requester.h"

namespace oz::backend {

// `AdminSession`: a site record with the requester it owns. The requester's cookies are the
// back-end login; there is no logged-in flag, and a session the server dropped only shows as
// failing later requests. One session is used by one thread at a time.
struct AdminSession {
    const config::SiteConfig& site;
    http::HttpRequester& requester;
};

// "http" or "https" by the site's HTTPS setting.
std::string siteScheme(const config::SiteConfig& site);
// The host (and port) of 域名: any leading scheme part (through the first "//") and everything from
// the next "/" on removed.
std::string siteHost(const config::SiteConfig& site);
// scheme + "://" + host of the site, without the path 域名 may carry: the front of a root-relative
// address ("/a/news/12.html").
std::string siteOrigin(const config::SiteConfig& site);
// `backEndBaseUrl`: scheme + "://" + 域名 + "/" + 目录. Every admin page is this + "/" + page.
std::string backEndBaseUrl(const config::SiteConfig& site);
// `installPrefix`: 目录 up to and including its first "/"; empty when it holds none.
std::string installPrefix(const config::SiteConfig& site);
// A file of the installation the back end belongs to (`path` relative to it, e.g. "plus/view.php"):
// scheme + "://" + 域名 + "/" + installPrefix + path.
std::string installUrl(const config::SiteConfig& site, std::string_view path);
// The answer decoding of the pages this client reads in the site's charset: UTF-8 (2) for 编码 0,
// else GBK (1).
int siteAnswerDecoding(const config::SiteConfig& site);
bool isUtf8Site(const config::SiteConfig& site);

// One request on the site's requester with the access method the settings name at this moment.
// The answer text (UTF-8), empty when the request failed.
std::string getPage(AdminSession& session, const BackendContext& context, const std::string& url,
                    int answerDecoding = http::kDecodeAuto);
std::string postPage(AdminSession& session, const BackendContext& context, const std::string& url,
                     const std::string& body, int answerDecoding = http::kDecodeAuto,
                     double timeoutSeconds = 0);
// The same two with the whole answer, whose failure says why a request failed. An empty body GETs.
// `sendOnce`: the request changes the site, so at most one copy of it goes out (see
// http::PageRequest::sendOnce).
http::PageAnswer requestPage(AdminSession& session, const BackendContext& context, const std::string& url,
                             const std::string& body = {}, int answerDecoding = http::kDecodeAuto,
                             double timeoutSeconds = 0, bool sendOnce = false);

// A request of the caller's own making (another body type, say) on the site's requester, as
// requestPage sends one: the access method of the moment, the answer time cap, the site's pinned
// key and origin.
http::PageAnswer sendRequest(AdminSession& session, const BackendContext& context,
                             http::PageRequest& request);

// The login form's body: userid, pwd, gotopage ("/" + 目录 + "/index.php") and the fixed fields,
// percent-encoded in the site's charset. Each value is encoded on its own, so a user name or
// password holding "&", "=" or "%" reaches the back end as typed.
std::string loginBody(const config::SiteConfig& site);

// `login`: the three requests of the login exchange (the back-end folder, the verification-code
// image that opens the server's session, the login form). The back end's family is recognised from
// its login page and its answer and remembered for the site (familyOf); the image is the one the
// login page loads. True when the answer says the login was accepted (DedeCMS: its unescaped text
// contains "成功"); a DedeBIZ back end then gets its add-article form opened once, as a browser
// would, since its article_add.php fails on a post in a session that never opened it. Otherwise
// the answer is kept as 登录失败.htm in the data folder (the latest failure of any site; one writer
// at a time) and the result is false. When the first request cannot connect the other two are not
// sent. `whyFailed` (may be null) receives why the login failed: the back end's own message
// ("你的密码错误!"), an HTTP error ("HTTP 404，后台目录是否正确？") or the transport's reason
// ("连接被拒绝"). `accountRefused` (may be null) is set when the back end refused the user name or
// password, which no retry mends. Logs nothing.
bool login(AdminSession& session, const BackendContext& context, std::string* whyFailed = nullptr,
           bool* accountRefused = nullptr);

}  // namespace oz::backend
