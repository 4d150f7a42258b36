#include "http/http_requester.h"

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

#include "content/load_text.h"
#include "http/curl_support.h"
#include "http/quick_ack.h"
#include "http/request_rules.h"
#include "http/transport_failure.h"

namespace oz::http {
namespace {

using curl::EasyHandle;
using curl::HeaderSlist;
using curl::UrlHandle;

constexpr long kPollMs = 50;
constexpr long kMaxRedirects = 10;
constexpr std::size_t kMaxHeaderBytes = 1024 * 1024;

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
    const curl::QuickAck* quickAck = nullptr;

    // False when the complete header block redirects outside the origin.
    bool redirectAllowed() {
        char* current = nullptr;
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &current);
        for (const std::string& location : redirectLocations(block)) {
            if (location.empty()) continue;
            const UrlHandle target = curl::parseUrl(location, current != nullptr ? current : "");
            if (target && curl::originOf(target.get()) == origin) continue;
            refusedRedirect =
                target ? curl::shownTarget(target.get()) : location.substr(0, location.find('?'));
            return false;
        }
        return true;
    }

    // Everything received so far goes: the request is sent again from the start.
    void restart() {
        body.clear();
        block.clear();
        allHeaders.clear();
        tooLarge = false;
        headerEnded = false;
        refusedRedirect.clear();
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
    if (t->quickAck != nullptr) t->quickAck->acknowledge();
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
    if (t->quickAck != nullptr) t->quickAck->acknowledge();
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
    EasyHandle easy = curl::newEasy();
    if (!easy) return easy;
    setFixedOptions(easy.get());
    curl_easy_setopt(easy.get(), CURLOPT_SHARE, curl::suffixListShare());
    if (keepsCookies) curl_easy_setopt(easy.get(), CURLOPT_COOKIEFILE, "");
    return easy;
}

// Every option that may differ between two requests on one handle is set here, each time.
void setRequestOptions(CURL* easy, const RequestPlan& plan, const PageRequest& request, curl_slist* headers,
                       long maxConnectMs) {
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
    // Declared before the handles: libcurl closes their connections through it.
    curl::QuickAck quickAck;
    // The multi handle keeps the open connections, for every easy handle of this requester.
    // Declared before the easy handles: they are cleaned up before it.
    curl::MultiHandle multi{nullptr};
    EasyHandle profile1;  // owns the requester's profile-1 cookies
    EasyHandle profile0;  // owns its profile-0 cookies
    std::string cookieStore;
    std::size_t maxAnswerBytes = kMaxAnswerBytes;
    long maxConnectMs = kMaxConnectMs;
    std::string authorities;
    const std::atomic<bool>* stops[2] = {nullptr, nullptr};
    std::set<std::string> tunnelRefusedBy;  // proxy URL + " " + site origin

    CURLM* multiHandle() {
        if (!multi) multi = curl::newMulti();
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
    const UrlHandle url = curl::parseUrl(plan.url);
    const UrlHandle site = request.siteOrigin.empty() ? nullptr : curl::parseUrl(request.siteOrigin);
    if (url) transfer.origin = curl::originOf(url.get());
    if (site && (!url || curl::originOf(site.get()) != transfer.origin)) {
        answer.failure = Failure::OffSite;
        answer.redirectTarget = url ? curl::shownTarget(url.get()) : plan.url.substr(0, plan.url.find('?'));
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

    // A proxy that does not parse sends nothing: never direct in its place.
    const curl::ProxyRoute proxy =
        curl::routeOf(chooseProxy(request.proxy, plan.url, processEnvironment()), request.proxy == "IE");
    answer.proxyName = proxy.name;
    if (proxy.invalid) {
        answer.error = proxy.problem;
        answer.failure = Failure::ProxyInvalid;
        return answer;
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
    quickAck.watch(easy);
    transfer.quickAck = &quickAck;

    const HeaderSlist headers = headerListOf(plan);
    setRequestOptions(easy, plan, request, headers.get(), maxConnectMs);
    const bool tunnelable = curl::tunnelsPlainHttp(proxy, plan.url);
    const std::string tunnelKey = tunnelable ? proxy.url + " " + transfer.origin : std::string();
    const bool tunnel = tunnelable && !tunnelRefusedBy.contains(tunnelKey);
    curl::setProxyOptions(easy, proxy, authorities, tunnel);
    if (!authorities.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, authorities.c_str());
    char errorBuffer[CURL_ERROR_SIZE] = {};
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, &transfer);
    curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &transfer);

    bool stopped = false;
    CURLcode result = run(easy, transfer, stopped);
    if (tunnel && !stopped && curl::tunnelRefused(easy, result)) {
        // The proxy carries this site's requests itself from now on, as any proxy does.
        tunnelRefusedBy.insert(tunnelKey);
        transfer.restart();
        errorBuffer[0] = '\0';
        curl::setProxyOptions(easy, proxy, authorities, false);
        result = run(easy, transfer, stopped);
    }

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
    if (proxy.mode == ProxyMode::Named) {
        answer.failure =
            curl::proxyFailure(easy, result, answer.status, answer.headers, answer.failure, requestBytes > 0);
    }
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
    } else if (answer.failure == Failure::ProxyRefused || answer.failure == Failure::ProxyUnreachable) {
        answer.error = (answer.failure == Failure::ProxyRefused ? "proxy refused: " : "proxy unreachable: ") +
                       proxy.name;
    } else if (result == CURLE_OPERATION_TIMEDOUT) {
        answer.error = "timed out";
    } else if (result != CURLE_OK) {
        std::string message = transportReason(static_cast<int>(result), errorBuffer, !transfer.headerEnded);
        message = curl::scrub(curl::scrub(std::move(message), plan.url), proxy.url);
        answer.error = curl::scrubSecret(std::move(message), proxy.password);
    }
    if (!answer.error.empty()) return answer;

    if (request.accessMethod == kProfile1 && request.keepCookies) {
        cookieStore = cookieStoreFromHeaders(answer.headers);
    }
    if (request.accessMethod != kProfile1 && !plan.storeCookies) {
        if (!profile0) profile0 = newRequestHandle(true);
        curl::recordInStore(profile0.get(), plan.url, answer.allHeaders);
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
    return curl::cookiesOf(accessMethod == kProfile1 ? m_impl->profile1.get() : m_impl->profile0.get());
}

}  // namespace oz::http
