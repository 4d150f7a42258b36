#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace oz::http {

// Access methods of the main window ("访问方式1", "访问方式2"): two request profiles with their own
// default headers, time-out rules and cookie handling.
inline constexpr int kProfile0 = 0;
inline constexpr int kProfile1 = 1;

// Answer decodings besides the encoding codes (1 GBK, 2 UTF-8, ... of content::EncodingCode).
inline constexpr int kDecodeTransport = -2;  // by the charset the answer headers name
inline constexpr int kDecodeNone = -1;       // the body bytes unchanged
inline constexpr int kDecodeAuto = 0;

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/30.0.1599.101 "
    "Safari/537.36";
inline constexpr std::string_view kFormContentType = "application/x-www-form-urlencoded";

// No request waits longer than this for its connection: a host that drops every packet then costs
// a login (which gives up after its first request cannot connect) 20 s a try.
inline constexpr long kMaxConnectMs = 20000;

// Answers (also after gzip) larger than this are cut off and the request fails.
inline constexpr std::size_t kMaxAnswerBytes = 64u * 1024u * 1024u;

// The parameters of `pageRequest`, in their order. Texts are sent as the bytes they hold (the caller
// percent-encodes form bodies in the site's charset).
struct PageRequest {
    int accessMethod = kProfile0;
    std::string url;                   // "http://" is put in front when no scheme; "#..." is dropped
    std::string postText;              // non-empty: POST
    int answerDecoding = kDecodeAuto;  // in/out: 0 becomes 2 when the answer headers declare UTF-8
    double timeoutSeconds = 0;
    // "" none, "IE" the user's system proxy, "-1" transport default, or a proxy address as
    // config/proxy_setting.h reads it. With an address every request goes through it or fails.
    std::string proxy;
    bool synchronous = false;   // profile 1: true lifts the overall time limit
    std::string postBytes;      // body when postText is empty (also makes a POST)
    std::string referer;        // "" = the request URL
    std::string cookies;        // in/out: "" = the requester's cookieStore; "-1" = an empty Cookie header
    bool keepCookies = false;   // profile 1: cookieStore := the answer's Set-Cookie values
    std::string contentType;    // "" = application/x-www-form-urlencoded
    std::string userAgent;      // "" = kDefaultUserAgent
    std::string extraHeaders;   // "Name: value" lines separated by "\r\n"
    bool fakeClientIp = false;  // add forged client-address lines
    // The request changes the site (an article or a category is created): at most one copy of it
    // goes out. It takes a connection of its own, so the transport never sends it again on a fresh
    // connection when a kept-alive one turns out dead, and a redirect is not followed (a 307 would
    // send the body again); the redirect answer comes back as it is.
    bool sendOnce = false;
    // The site's own certificate, trusted by its public key instead of by the system's certificate
    // authorities and the name on it: "sha256//" + the base64 SHA-256 of the key
    // ("sha256//a;sha256//b" for several), or the path of a PEM or DER key file. Empty: the
    // certificate is verified as usual.
    std::string pinnedPublicKey;
    // The site's origin ("http://host:port"; the port may be left out): a URL elsewhere, such as an
    // absolute link in a hostile page, is not requested at all, and redirects must stay in it.
    // Empty: the origin of the URL.
    std::string siteOrigin;
};

// Why a request failed; None when an answer arrived completely.
enum class Failure {
    None,
    Stopped,           // a stop flag ended it
    TimedOut,          // the request was sent, the answer did not come in time
    ConnectTimedOut,   // no connection in time (a host that drops every packet)
    Refused,           // the host refused the connection
    NameNotResolved,   // the host name could not be resolved
    Tls,               // the TLS handshake or the certificate check failed
    TooLarge,          // the answer went beyond the size limit
    Redirected,        // a redirect pointed to another origin (scheme, host or port); not followed
    OffSite,           // the URL lies outside PageRequest::siteOrigin; nothing was sent
    ProxyUnreachable,  // the proxy could not be reached (nothing was sent, and nothing direct)
    ProxyRefused,      // the proxy refused the request: its user or password (407) or its rules
    ProxyInvalid,      // the proxy text does not parse; nothing was sent
    Other,             // any other transport failure (see PageAnswer::error)
};

struct PageAnswer {
    std::string text;        // the decoded body (UTF-8); empty when the request failed
    bool ok = false;         // an answer arrived completely (whatever its status)
    long status = 0;         // HTTP status of the final answer; 0 when none
    std::string body;        // the body bytes as received (empty when the request failed)
    std::string finalUrl;    // after redirects
    std::string headers;     // header block of the final answer, CR LF lines
    std::string allHeaders;  // header blocks of every answer on the way (redirects included)
    std::string error;       // transport failure, "stopped", "answer too large", "timed out"; "" when ok
    Failure failure = Failure::None;
    // Redirected, OffSite: where the redirect or the URL pointed, without user, password, query and
    // fragment.
    std::string redirectTarget;
    // The proxy the request went through, as "host:port" (never its user or password); empty when
    // none was named.
    std::string proxyName;
};

// The request never reached the server: refused, name not resolved, no connection in time, no
// TLS session, or an address outside the site. Further requests there would fail the same way.
bool cannotConnect(Failure failure);

// The reason for the log ("连接被拒绝", "等待回应超时", ...); empty when the answer arrived.
std::string failureReason(const PageAnswer& answer);

struct Cookie {
    std::string domain;
    std::string path;
    std::string name;
    std::string value;
};

// `HttpRequester`: one per site. Connections are kept alive between its requests; it is used by
// one thread at a time, and requesters of different sites run in parallel. Each profile keeps the
// cookies answers set in the requester itself (until `reset`): no two requesters share a cookie, so
// two entries with different accounts on one host have two back-end sessions. TLS certificates are
// verified (or the pinned key checked). Redirects are followed only within the origin of the
// request (scheme, host and port): a request body, a cookie or the Referer never goes to another
// host, port or scheme, and nothing goes from HTTPS down to HTTP; a redirect elsewhere ends the
// request as Failure::Redirected. A POST redirected by 301, 302 or 303 goes on as a GET without its
// body, as in a browser; 307 and 308 send it again, to the same origin. A moved-from requester may
// only be assigned or destroyed.
class HttpRequester {
   public:
    HttpRequester();
    ~HttpRequester();
    HttpRequester(HttpRequester&&) noexcept;
    HttpRequester& operator=(HttpRequester&&) noexcept;
    HttpRequester(const HttpRequester&) = delete;
    HttpRequester& operator=(const HttpRequester&) = delete;

    // `pageRequest`: one request. Writes back request.answerDecoding and request.cookies.
    PageAnswer pageRequest(PageRequest& request);

    // `reset`: forgets the cookies of both profiles and empties cookieStore.
    void reset();

    // A set flag aborts the running request within about 50 ms, and every later one at once.
    // Either may be null; the flags must outlive their use here.
    void setStopFlags(const std::atomic<bool>* runStop, const std::atomic<bool>* siteStop = nullptr);

    void setMaxAnswerBytes(std::size_t maxBytes);
    // The longest wait for a connection, below the profiles' own limits (kMaxConnectMs by default).
    void setMaxConnectMs(long ms);
    // The certificate authorities to trust, as a PEM file, in place of the system's bundle (tests
    // trust their own).
    void setCertificateAuthorities(std::string pemFile);

    const std::string& cookieStore() const;
    // The cookies the requester holds for one profile.
    std::vector<Cookie> cookies(int accessMethod = kProfile1) const;

   private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace oz::http
