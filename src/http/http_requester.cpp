#include "http/http_requester.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <mutex>
#include <utility>

#include "content/load_text.h"
#include "http/request_rules.h"
#include "http/transport_failure.h"
#include "text/characters.h"

namespace oz::http {
namespace {

constexpr long kPollMs = 50;
constexpr long kMaxRedirects = 10;
constexpr std::size_t kMaxHeaderBytes = 1024 * 1024;

// libcurl's global state and the public suffix list, set up once. The suffix list, which the cookie
// engine consults, would otherwise be read from disk again by every requester. Handles share only
// the list: every requester keeps its own cookies.
class CurlRuntime {
   public:
    static CurlRuntime& instance() {
        static CurlRuntime runtime;
        return runtime;
    }
    CURLSH* suffixListShare() const { return m_suffixListShare; }

   private:
    CurlRuntime() {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        m_suffixListShare = newShare({CURL_LOCK_DATA_PSL});
    }
    // Lives until the process ends: requesters may be destroyed during static destruction.
    ~CurlRuntime() = default;

    CURLSH* newShare(std::initializer_list<curl_lock_data> shared) {
        CURLSH* share = curl_share_init();
        if (share == nullptr) return nullptr;
        curl_share_setopt(share, CURLSHOPT_LOCKFUNC, &CurlRuntime::lock);
        curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, &CurlRuntime::unlock);
        curl_share_setopt(share, CURLSHOPT_USERDATA, this);
        for (curl_lock_data data : shared) curl_share_setopt(share, CURLSHOPT_SHARE, data);
        return share;
    }

    static void lock(CURL*, curl_lock_data data, curl_lock_access, void* self) {
        static_cast<CurlRuntime*>(self)->m_locks[static_cast<std::size_t>(data)].lock();
    }
    static void unlock(CURL*, curl_lock_data data, void* self) {
        static_cast<CurlRuntime*>(self)->m_locks[static_cast<std::size_t>(data)].unlock();
    }

    CURLSH* m_suffixListShare = nullptr;
    std::array<std::mutex, CURL_LOCK_DATA_LAST> m_locks;
};

struct EasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct MultiDeleter {
    void operator()(CURLM* h) const { curl_multi_cleanup(h); }
};
struct SlistDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;
using MultiHandle = std::unique_ptr<CURLM, MultiDeleter>;
using HeaderSlist = std::unique_ptr<curl_slist, SlistDeleter>;

EasyHandle newEasy() {
    CurlRuntime::instance();
    return EasyHandle(curl_easy_init());
}

struct UrlDeleter {
    void operator()(CURLU* h) const { curl_url_cleanup(h); }
};
using UrlHandle = std::unique_ptr<CURLU, UrlDeleter>;

// Resolves `url` against `base` as libcurl does when it follows a redirect; null when either
// cannot be parsed. Any scheme is accepted, so that a "file://" target is named, not lost.
UrlHandle parseUrl(const std::string& url, const std::string& base = {}) {
    UrlHandle handle(curl_url());
    if (!handle) return handle;
    constexpr unsigned kFlags = CURLU_URLENCODE | CURLU_ALLOW_SPACE | CURLU_NON_SUPPORT_SCHEME;
    if ((!base.empty() && curl_url_set(handle.get(), CURLUPART_URL, base.c_str(), kFlags) != CURLUE_OK) ||
        curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), kFlags) != CURLUE_OK) {
        handle.reset();
    }
    return handle;
}

std::string urlPart(CURLU* url, CURLUPart part, unsigned flags = 0) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) return {};
    std::string out = text;
    curl_free(text);
    return out;
}

// Scheme, host and port: what a redirect must keep to be followed.
std::string originOf(CURLU* url) {
    std::string origin = urlPart(url, CURLUPART_SCHEME) + "://" + urlPart(url, CURLUPART_HOST) + ":" +
                         urlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    return text::toLowerAscii(origin);
}

// A target as the log may show it: no user, password, query or fragment.
std::string shownTarget(CURLU* url) {
    for (CURLUPart part :
         {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_OPTIONS, CURLUPART_QUERY, CURLUPART_FRAGMENT}) {
        curl_url_set(url, part, nullptr, 0);
    }
    return urlPart(url, CURLUPART_URL);
}

// What the callbacks of one transfer see.
struct Transfer {
    std::string body;
    std::string block;       // header block being received
    std::string allHeaders;  // every header block so far
    std::size_t maxBody = kMaxAnswerBytes;
    bool tooLarge = false;
    bool headerEnded = false;  // the blank line after the last header block came
    const std::atomic<bool>* stops[2] = {nullptr, nullptr};
    // Redirects are followed: each is checked against the origin before libcurl may act on it.
    CURL* easy = nullptr;
    bool followsRedirects = false;
    std::string origin;
    std::string refusedRedirect;  // where a redirect to another origin pointed

    // False when the complete header block redirects outside the origin.
    bool redirectAllowed() {
        char* current = nullptr;
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &current);
        for (const std::string& location : redirectLocations(block)) {
            if (location.empty()) continue;
            const UrlHandle target = parseUrl(location, current != nullptr ? current : "");
            if (target && originOf(target.get()) == origin) continue;
            refusedRedirect = target ? shownTarget(target.get()) : location.substr(0, location.find('?'));
            return false;
        }
        return true;
    }

    bool stopRequested() const {
        for (const std::atomic<bool>* flag : stops) {
            if (flag != nullptr && flag->load(std::memory_order_relaxed)) return true;
        }
        return false;
    }
};

std::size_t onBody(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (n > t->maxBody - t->body.size()) {
        t->tooLarge = true;
        return 0;  // aborts the transfer
    }
    t->body.append(data, n);
    return n;
}

std::size_t onHeader(char* data, std::size_t size, std::size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const std::size_t n = size * count;
    if (t->allHeaders.size() + t->block.size() + n > kMaxHeaderBytes) {
        t->tooLarge = true;
        return 0;
    }
    const std::string_view line(data, n);
    if (line.starts_with("HTTP/")) {
        t->allHeaders += t->block;
        t->block.clear();
        t->headerEnded = false;
    }
    t->block.append(line);
    if (line == "\r\n" || line == "\n") t->headerEnded = true;
    // The blank line ends the block: libcurl has not acted on a redirect yet.
    if (t->followsRedirects && (line == "\r\n" || line == "\n") && !t->redirectAllowed()) return 0;
    return n;
}

int onProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<Transfer*>(user)->stopRequested() ? 1 : 0;
}

// One cookie line of libcurl's list (Netscape format).
std::optional<Cookie> parseCookieLine(std::string_view line) {
    std::array<std::string_view, 7> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t tab = line.find('\t');
        if (i + 1 < fields.size() && tab == std::string_view::npos) return std::nullopt;
        fields[i] = line.substr(0, tab);
        line = tab == std::string_view::npos ? std::string_view() : line.substr(tab + 1);
    }
    std::string_view domain = fields[0];
    if (domain.starts_with("#HttpOnly_")) domain.remove_prefix(10);
    return Cookie{std::string(domain), std::string(fields[2]), std::string(fields[5]),
                  std::string(fields[6])};
}

std::vector<Cookie> cookiesOf(CURL* easy) {
    std::vector<Cookie> out;
    curl_slist* list = nullptr;
    if (easy == nullptr || curl_easy_getinfo(easy, CURLINFO_COOKIELIST, &list) != CURLE_OK) return out;
    HeaderSlist owned(list);
    for (curl_slist* item = list; item != nullptr; item = item->next) {
        if (std::optional<Cookie> cookie = parseCookieLine(item->data)) out.push_back(std::move(*cookie));
    }
    return out;
}

std::string hostOf(const std::string& url) {
    const UrlHandle parsed = parseUrl(url);
    return parsed ? urlPart(parsed.get(), CURLUPART_HOST) : std::string();
}

// Profile 0 with a cookie text of the caller: the store neither sends nor records by itself, but
// every cookie of the answer is added to it under the host's name, so later requests send it.
void recordInStore(CURL* store, const std::string& url, std::string_view headers) {
    const auto pairs = setCookiePairs(headers);
    if (pairs.empty() || store == nullptr) return;
    const std::string host = hostOf(url);
    if (host.empty()) return;
    for (const auto& [name, value] : pairs) {
        if (name.find('\t') != std::string::npos || value.find('\t') != std::string::npos) continue;
        const std::string line = host + "\tFALSE\t/\tFALSE\t0\t" + name + "\t" + value;
        curl_easy_setopt(store, CURLOPT_COOKIELIST, line.c_str());
    }
}

// The user name and password of a URL or proxy text never appear in an error message.
std::string scrub(std::string message, std::string_view secretSource) {
    if (const std::size_t scheme = secretSource.find("://"); scheme != std::string_view::npos) {
        secretSource.remove_prefix(scheme + 3);
    }
    const std::string_view authority = secretSource.substr(0, secretSource.find_first_of("/?#"));
    const std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos || at == 0) return message;
    const std::string_view userInfo = authority.substr(0, at);
    for (std::size_t pos; (pos = message.find(userInfo)) != std::string::npos;) {
        message.replace(pos, userInfo.size(), "***");
    }
    return message;
}

// The body as text; std::nullopt when it is a gzip stream that inflates beyond the limit.
std::optional<std::string> decodeAnswer(const std::string& body, const std::string& headers,
                                        PageRequest& request) {
    if (request.answerDecoding == kDecodeNone) return body;
    int code = request.answerDecoding;
    if (code == kDecodeTransport) {
        code = request.accessMethod == kProfile1 ? headerCharsetCode(headers) : kDecodeAuto;
    } else if (code == kDecodeAuto && headersDeclareUtf8(headers)) {
        code = 2;
        request.answerDecoding = 2;
    }
    std::string_view bytes = body;
    std::optional<std::string> inflated;
    if (content::isGzip(body)) {
        inflated = content::gunzip(body, content::kMaxTextBytes);
        if (!inflated) return std::nullopt;
        bytes = *inflated;
    }
    return content::loadTextBytes(bytes, content::encodingCodeFromInt(code)).text;
}

// Options that every request of a handle shares, set once: the handle is reused without
// curl_easy_reset, which would switch the cookie engine off.
void setFixedOptions(CURL* easy) {
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // A stop during name resolution must not wait for the resolver thread.
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &onBody);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &onHeader);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &onProgress);
}

EasyHandle newRequestHandle(bool keepsCookies) {
    EasyHandle easy = newEasy();
    if (!easy) return easy;
    setFixedOptions(easy.get());
    curl_easy_setopt(easy.get(), CURLOPT_SHARE, CurlRuntime::instance().suffixListShare());
    if (keepsCookies) curl_easy_setopt(easy.get(), CURLOPT_COOKIEFILE, "");
    return easy;
}

// Every option that may differ between two requests on one handle is set here, each time.
void setRequestOptions(CURL* easy, const RequestPlan& plan, const PageRequest& request,
                       const ProxyChoice& proxy, curl_slist* headers, long maxConnectMs) {
    curl_easy_setopt(easy, CURLOPT_URL, plan.url.c_str());
    // libcurl sends a request again by itself only on a reused connection that died before any
    // answer byte came; on a connection of its own nothing is sent twice. That connection is closed
    // afterwards, so the site's kept-alive one stays the only one open.
    curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, request.sendOnce ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, request.sendOnce ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, request.sendOnce ? 0L : 1L);
    // A pinned key stands in for the authorities' signature and the name on the certificate.
    const bool pinned = !request.pinnedPublicKey.empty();
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, pinned ? 0L : 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, pinned ? 0L : 2L);
    curl_easy_setopt(easy, CURLOPT_PINNEDPUBLICKEY, pinned ? request.pinnedPublicKey.c_str() : nullptr);
    if (plan.post) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(plan.body.size()));
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, plan.body.data());
    } else {
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_COOKIE, plan.cookieText ? plan.cookieText->c_str() : nullptr);

    const TimeLimits limits = timeLimits(request.accessMethod, request.timeoutSeconds, request.synchronous);
    const long connectMs = limits.connectMs > 0 ? std::min(limits.connectMs, maxConnectMs) : maxConnectMs;
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connectMs);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, limits.idleSeconds > 0 ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, limits.idleSeconds);
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, limits.totalMs);

    // A null proxy lets libcurl read the environment; an empty one means a direct connection.
    switch (proxy.mode) {
        case ProxyMode::TransportDefault:
            curl_easy_setopt(easy, CURLOPT_PROXY, static_cast<char*>(nullptr));
            curl_easy_setopt(easy, CURLOPT_NOPROXY, static_cast<char*>(nullptr));
            break;
        case ProxyMode::Direct:
            curl_easy_setopt(easy, CURLOPT_PROXY, "");
            curl_easy_setopt(easy, CURLOPT_NOPROXY, static_cast<char*>(nullptr));
            break;
        case ProxyMode::Named:
            curl_easy_setopt(easy, CURLOPT_PROXY, proxy.proxy.c_str());
            curl_easy_setopt(easy, CURLOPT_NOPROXY, proxy.noProxy.c_str());
            break;
    }
}

// The plan's headers as libcurl's list; libcurl's own Accept and Expect are left out unless planned.
HeaderSlist headerListOf(const RequestPlan& plan) {
    curl_slist* list = nullptr;
    bool hasAccept = false;
    for (const HeaderLine& line : plan.headers) {
        const std::string text = line.value.empty() ? line.name + ";" : line.name + ": " + line.value;
        list = curl_slist_append(list, text.c_str());
        if (curl_strequal(line.name.c_str(), "Accept")) hasAccept = true;
    }
    if (!hasAccept) list = curl_slist_append(list, "Accept:");
    list = curl_slist_append(list, "Expect:");
    return HeaderSlist(list);
}

}  // namespace

struct HttpRequester::Impl {
    // The multi handle keeps the open connections, for every easy handle of this requester.
    // Declared first: the easy handles are cleaned up before it.
    MultiHandle multi{nullptr};
    EasyHandle profile1;  // owns the requester's profile-1 cookies
    EasyHandle profile0;  // owns its profile-0 cookies
    std::string cookieStore;
    std::size_t maxAnswerBytes = kMaxAnswerBytes;
    long maxConnectMs = kMaxConnectMs;
    std::string authorities;
    const std::atomic<bool>* stops[2] = {nullptr, nullptr};

    CURLM* multiHandle() {
        if (!multi) {
            CurlRuntime::instance();
            multi.reset(curl_multi_init());
        }
        return multi.get();
    }

    PageAnswer perform(PageRequest& request);
    CURLcode run(CURL* easy, Transfer& transfer, bool& stopped);
};

// Drives one transfer on the calling thread in short polls, so that a stop ends it at once.
CURLcode HttpRequester::Impl::run(CURL* easy, Transfer& transfer, bool& stopped) {
    CURLM* multiHandle = this->multiHandle();
    if (multiHandle == nullptr || curl_multi_add_handle(multiHandle, easy) != CURLM_OK)
        return CURLE_FAILED_INIT;
    CURLcode result = CURLE_OK;
    for (;;) {
        if (transfer.stopRequested()) {
            stopped = true;
            break;
        }
        int running = 0;
        if (curl_multi_perform(multiHandle, &running) != CURLM_OK) {
            result = CURLE_FAILED_INIT;
            break;
        }
        if (running == 0) break;
        curl_multi_poll(multiHandle, nullptr, 0, kPollMs, nullptr);
    }
    int queued = 0;
    while (CURLMsg* message = curl_multi_info_read(multiHandle, &queued)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy) result = message->data.result;
    }
    curl_multi_remove_handle(multiHandle, easy);
    return result;
}

PageAnswer HttpRequester::Impl::perform(PageRequest& request) {
    PageAnswer answer;
    const RequestPlan plan = planRequest(request, cookieStore, request.fakeClientIp ? randomIpv4() : "");
    request.cookies = plan.cookiesUsed;

    Transfer transfer;
    transfer.maxBody = maxAnswerBytes;
    transfer.stops[0] = stops[0];
    transfer.stops[1] = stops[1];
    transfer.followsRedirects = !request.sendOnce;
    const UrlHandle url = parseUrl(plan.url);
    const UrlHandle site = request.siteOrigin.empty() ? nullptr : parseUrl(request.siteOrigin);
    if (url) transfer.origin = originOf(url.get());
    if (site && (!url || originOf(site.get()) != transfer.origin)) {
        answer.failure = Failure::OffSite;
        answer.redirectTarget = url ? shownTarget(url.get()) : plan.url.substr(0, plan.url.find('?'));
        answer.error = "outside the site: " + answer.redirectTarget;
        return answer;
    }
    if (transfer.stopRequested()) {
        answer.error = "stopped";
        answer.failure = Failure::Stopped;
        return answer;
    }
    // A pin libcurl cannot read would fail as a key that does not match: it is said for what it is.
    if (plan.url.starts_with("https:")) {
        if (std::string problem = pinProblem(request.pinnedPublicKey); !problem.empty()) {
            answer.error = std::move(problem);
            answer.failure = Failure::Tls;
            return answer;
        }
    }

    // Profile 0 with the caller's cookie text runs on a handle without cookies of its own; it
    // still reuses the requester's open connections.
    EasyHandle oneOff;
    CURL* easy = nullptr;
    if (request.accessMethod == kProfile1) {
        if (!profile1) profile1 = newRequestHandle(true);
        easy = profile1.get();
    } else if (plan.storeCookies) {
        if (!profile0) profile0 = newRequestHandle(true);
        easy = profile0.get();
    } else {
        oneOff = newRequestHandle(false);
        easy = oneOff.get();
    }
    if (easy == nullptr) {
        answer.error = "无法建立传输（libcurl 初始化失败）";
        answer.failure = Failure::Other;
        return answer;
    }
    transfer.easy = easy;

    const ProxyChoice proxy = chooseProxy(request.proxy, plan.url, processEnvironment());
    const HeaderSlist headers = headerListOf(plan);
    setRequestOptions(easy, plan, request, proxy, headers.get(), maxConnectMs);
    if (!authorities.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, authorities.c_str());
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);

    bool stopped = false;
    const CURLcode result = run(easy, transfer, stopped);

    // The handle must not keep pointers into this frame once it returns.
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, static_cast<curl_slist*>(nullptr));
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, static_cast<char*>(nullptr));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, static_cast<char*>(nullptr));
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, static_cast<void*>(nullptr));
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, static_cast<void*>(nullptr));
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, static_cast<void*>(nullptr));

    transfer.allHeaders += transfer.block;
    answer.headers = std::move(transfer.block);
    answer.allHeaders = std::move(transfer.allHeaders);
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &answer.status);
    if (char* effective = nullptr;
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &effective) == CURLE_OK && effective != nullptr) {
        answer.finalUrl = effective;
    }

    long requestBytes = 0;
    curl_easy_getinfo(easy, CURLINFO_REQUEST_SIZE, &requestBytes);
    answer.failure = failureOf(static_cast<int>(result), requestBytes > 0);
    if (!transfer.refusedRedirect.empty()) {
        answer.error = "redirected to another origin: " + transfer.refusedRedirect;
        answer.failure = Failure::Redirected;
        answer.redirectTarget = std::move(transfer.refusedRedirect);
    } else if (stopped || result == CURLE_ABORTED_BY_CALLBACK) {
        answer.error = "stopped";
        answer.failure = Failure::Stopped;
    } else if (transfer.tooLarge) {
        answer.error = "answer too large";
        answer.failure = Failure::TooLarge;
    } else if (result == CURLE_OPERATION_TIMEDOUT) {
        answer.error = "timed out";
    } else if (result != CURLE_OK) {
        answer.error = scrub(
            scrub(transportReason(static_cast<int>(result), errorBuffer, !transfer.headerEnded), plan.url),
            proxy.proxy);
    }
    if (!answer.error.empty()) return answer;

    if (request.accessMethod == kProfile1 && request.keepCookies) {
        cookieStore = cookieStoreFromHeaders(answer.headers);
    }
    if (request.accessMethod != kProfile1 && !plan.storeCookies) {
        if (!profile0) profile0 = newRequestHandle(true);
        recordInStore(profile0.get(), plan.url, answer.allHeaders);
    }

    answer.body = std::move(transfer.body);
    std::optional<std::string> text = decodeAnswer(answer.body, answer.headers, request);
    if (!text) {
        answer.error = "answer too large";
        answer.failure = Failure::TooLarge;
        answer.body.clear();
        return answer;
    }
    answer.text = std::move(*text);
    answer.ok = true;
    return answer;
}

HttpRequester::HttpRequester() : m_impl(std::make_unique<Impl>()) {}
HttpRequester::~HttpRequester() = default;
HttpRequester::HttpRequester(HttpRequester&&) noexcept = default;
HttpRequester& HttpRequester::operator=(HttpRequester&&) noexcept = default;

PageAnswer HttpRequester::pageRequest(PageRequest& request) { return m_impl->perform(request); }

void HttpRequester::reset() {
    m_impl->profile1.reset();
    m_impl->profile0.reset();
    m_impl->cookieStore.clear();
}

void HttpRequester::setStopFlags(const std::atomic<bool>* runStop, const std::atomic<bool>* siteStop) {
    m_impl->stops[0] = runStop;
    m_impl->stops[1] = siteStop;
}

void HttpRequester::setMaxAnswerBytes(std::size_t maxBytes) { m_impl->maxAnswerBytes = maxBytes; }

void HttpRequester::setMaxConnectMs(long ms) { m_impl->maxConnectMs = std::max(1L, ms); }

void HttpRequester::setCertificateAuthorities(std::string pemFile) {
    m_impl->authorities = std::move(pemFile);
}

const std::string& HttpRequester::cookieStore() const { return m_impl->cookieStore; }

std::vector<Cookie> HttpRequester::cookies(int accessMethod) const {
    return cookiesOf(accessMethod == kProfile1 ? m_impl->profile1.get() : m_impl->profile0.get());
}

}  // namespace oz::http
