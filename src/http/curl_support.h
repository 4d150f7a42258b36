#pragma once

#include <curl/curl.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_requester.h"
#include "http/request_rules.h"

// libcurl as the requester uses it: handles with their owners, URL parts, cookies, proxies and
// failures. Only the transport's own files include this header.
namespace oz::http::curl {

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
    void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct UrlDeleter {
    void operator()(CURLU* h) const { curl_url_cleanup(h); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderSlist = std::unique_ptr<curl_slist, SlistDeleter>;
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// libcurl's global state set up (once), then a new easy handle / multi handle.
EasyHandle newEasy();
MultiHandle newMulti();
// The public suffix list every handle shares (the cookie engine consults it).
CURLSH* suffixListShare();

// Resolves `url` against `base` as libcurl does when it follows a redirect; null when either
// cannot be parsed. Any scheme is accepted, so that a "file://" target is named, not lost.
UrlHandle parseUrl(const std::string& url, const std::string& base = {});
std::string urlPart(CURLU* url, CURLUPart part, unsigned flags = 0);
// Scheme, host and port: what a redirect must keep to be followed.
std::string originOf(CURLU* url);
// A target as the log may show it: no user, password, query or fragment.
std::string shownTarget(CURLU* url);

// The cookies a handle holds.
std::vector<Cookie> cookiesOf(CURL* easy);
// Profile 0 with a cookie text of the caller: the store neither sends nor records by itself, but
// every cookie of the answer is added to it under the host's name, so later requests send it.
void recordInStore(CURL* store, const std::string& url, std::string_view headers);

// The proxy a request goes through, as libcurl is told it.
struct ProxyRoute {
    ProxyMode mode = ProxyMode::Direct;
    std::string url;       // Named: scheme://host:port, no user or password
    std::string user;      // Named: decoded
    std::string password;  // Named: decoded
    std::string noProxy;   // Named: hosts that bypass it ("" = none)
    std::string name;      // Named: "host:port", what reasons name
    bool invalid = false;  // Named: the text does not parse; nothing may be sent
    std::string problem;   // why it does not
};
// `lenient`: a text that does not parse goes to libcurl as it stands (the environment's value).
ProxyRoute routeOf(const ProxyChoice& choice, bool lenient);
// Sets the proxy options of a request (each time: a handle is reused for other requests).
// `tunnel`: a plain http:// request goes through a CONNECT tunnel as an https:// one does.
void setProxyOptions(CURL* easy, const ProxyRoute& route, const std::string& authorities, bool tunnel);
// Whether a plain http:// request through `route` is first tried through a tunnel: an HTTP(S)
// proxy that opens a new connection to the site for every request it carries (tinyproxy does)
// keeps one through a tunnel, with the connection from the program kept alive.
bool tunnelsPlainHttp(const ProxyRoute& route, std::string_view url);
// The proxy answered the CONNECT with a refusal other than for the password (many allow it to
// port 443 only): the request may go again, carried by the proxy itself. Nothing reached the site.
bool tunnelRefused(CURL* easy, CURLcode result);

// The failure as the proxy explains it: ProxyUnreachable or ProxyRefused when the proxy was the
// cause, else `failure` unchanged. `headers`: the final answer's.
Failure proxyFailure(CURL* easy, CURLcode result, long status, std::string_view headers, Failure failure,
                     bool requestSent);

// The user name and password of a URL or proxy text never appear in an error message.
std::string scrub(std::string message, std::string_view secretSource);
// Every appearance of `secret` (when not empty) replaced by "***".
std::string scrubSecret(std::string message, std::string_view secret);

}  // namespace oz::http::curl
