#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/http_requester.h"

// The wire rules of the two request profiles, as pure functions: what HttpRequester sends, with which
// limits and through which proxy. Kept apart from the transport so they can be checked directly.
namespace oz::http {

// "http://" in front unless the URL starts with "http://" or "https://" (any case); everything from
// the first "#" on is dropped.
std::string normalizeUrl(std::string_view url);

struct HeaderLine {
    std::string name;
    std::string value;  // an empty value is sent as an empty header ("Cookie:")
};

struct RequestPlan {
    std::string url;  // normalised
    bool post = false;
    std::string body;
    std::vector<HeaderLine> headers;  // every header the request carries, in order, names unique
    // Profile 1: the cookie text sent together with the requester's own cookies (one Cookie line).
    std::optional<std::string> cookieText;
    // Profile 0 without cookie text: the requester's profile-0 store sends its cookies and keeps new ones.
    bool storeCookies = false;
    std::string cookiesUsed;  // the cookie parameter after the cookieStore took the place of ""
};

// The request a `pageRequest` call sends. forgedIp is used when fakeClientIp is set.
RequestPlan planRequest(const PageRequest& request, std::string_view cookieStore, std::string_view forgedIp);

// Four random integers 0..255 joined with ".".
std::string randomIpv4();

// The forged client-address lines for ip, joined with "\r\n".
std::string forgedClientLines(std::string_view ip);

struct TimeLimits {
    long connectMs = 0;    // name resolution and connection; 0 = transport default
    long idleSeconds = 0;  // longest stretch without a byte moving; 0 = none
    long totalMs = 0;      // the whole exchange; 0 = none
};
TimeLimits timeLimits(int accessMethod, double timeoutSeconds, bool synchronous);

enum class ProxyMode {
    TransportDefault,  // "-1": the transport decides (libcurl reads the proxy environment variables)
    Direct,
    Named,
};
struct ProxyChoice {
    ProxyMode mode = ProxyMode::Direct;
    std::string proxy;    // Named: [scheme://][user:password@]host:port
    std::string noProxy;  // Named: hosts that bypass it ("" = none)
};
using EnvironmentLookup = std::function<std::optional<std::string>(const char* name)>;

// "IE" reads the user's proxy: on this platform the proxy environment variables for the URL's scheme.
ProxyChoice chooseProxy(std::string_view proxy, std::string_view url, const EnvironmentLookup& environment);
EnvironmentLookup processEnvironment();

// Whether the raw answer headers say the body is UTF-8.
bool headersDeclareUtf8(std::string_view headers);

// The charset that the Content-Type answer header names, as an encoding code (1 GBK, 2 UTF-8,
// 5 Big5, 6 Big5-HKSCS); 0 when it names none of them.
int headerCharsetCode(std::string_view headers);

// Profile 1's cookieStore after an answer: the Set-Cookie values joined with "; ".
std::string cookieStoreFromHeaders(std::string_view headers);

// Name and value of each Set-Cookie line (the text after the prefix up to the first ";").
std::vector<std::pair<std::string, std::string>> setCookiePairs(std::string_view headers);
// The Location values of one header block whose status is 3xx; none for another status.
std::vector<std::string> redirectLocations(std::string_view block);

}  // namespace oz::http
