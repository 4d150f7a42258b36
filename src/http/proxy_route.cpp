#include "config/proxy_setting.h"
#include "http/curl_support.h"
#include "text/characters.h"
#include "text/markers.h"

namespace oz::http::curl {

ProxyRoute routeOf(const ProxyChoice& choice, bool lenient) {
    ProxyRoute route;
    route.mode = choice.mode;
    if (choice.mode != ProxyMode::Named) return route;
    route.noProxy = choice.noProxy;
    config::ProxyParse parsed = config::parseProxyAddress(choice.proxy);
    if (!parsed.address) {
        // The environment's value goes to libcurl as it stands, as it always did; a site's own
        // value that does not parse sends nothing at all.
        route.url = choice.proxy;
        route.invalid = !lenient;
        route.problem = std::move(parsed.problem);
        return route;
    }
    route.url = parsed.address->transportUrl();
    route.user = std::move(parsed.address->user);
    route.password = std::move(parsed.address->password);
    route.name = parsed.address->hostPort();
    return route;
}

void setProxyOptions(CURL* easy, const ProxyRoute& route, const std::string& authorities, bool tunnel) {
    const bool named = route.mode == ProxyMode::Named;
    curl_easy_setopt(easy, CURLOPT_HTTPPROXYTUNNEL, named && tunnel ? 1L : 0L);
    // The proxy's own answer to CONNECT is not the site's: it stays out of the answer's headers.
    curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
    // A null proxy lets libcurl read the environment; an empty one means a direct connection.
    const char* proxy = route.mode == ProxyMode::TransportDefault ? nullptr : named ? route.url.c_str() : "";
    curl_easy_setopt(easy, CURLOPT_PROXY, proxy);
    curl_easy_setopt(easy, CURLOPT_NOPROXY, named ? route.noProxy.c_str() : nullptr);
    // Given apart from the address, so that libcurl's messages never hold them.
    const bool credentials = named && !route.user.empty();
    curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, credentials ? route.user.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, credentials ? route.password.c_str() : nullptr);
    if (!authorities.empty()) curl_easy_setopt(easy, CURLOPT_PROXY_CAINFO, authorities.c_str());
}

bool tunnelsPlainHttp(const ProxyRoute& route, std::string_view url) {
    const bool httpProxy = route.url.starts_with("http://") || route.url.starts_with("https://");
    return route.mode == ProxyMode::Named && !route.invalid && httpProxy && url.starts_with("http://");
}

bool tunnelRefused(CURL* easy, CURLcode result) {
    long connectCode = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    return result != CURLE_OK && connectCode >= 300 && connectCode != 401 && connectCode != 407;
}

namespace {

// tinyproxy answers a wrong password with 401 (and its own realm) instead of 407.
bool proxysOwn401(std::string_view headers) {
    for (std::string_view line : text::splitLines(headers)) {
        const bool named =
            text::findNoCase(line, "Server:") == 0 || text::findNoCase(line, "WWW-Authenticate:") == 0;
        if (named && text::findNoCase(line, "proxy") != std::string_view::npos) return true;
    }
    return false;
}

}  // namespace

Failure proxyFailure(CURL* easy, CURLcode result, long status, std::string_view headers, Failure failure,
                     bool requestSent) {
    long connectCode = 0;
    curl_easy_getinfo(easy, CURLINFO_HTTP_CONNECTCODE, &connectCode);
    if (connectCode == 407 || connectCode == 401) return Failure::ProxyRefused;
    if (result == CURLE_OK && (status == 407 || (status == 401 && proxysOwn401(headers)))) {
        return Failure::ProxyRefused;
    }
    if (result == CURLE_PROXY) {
        long code = CURLPX_OK;
        curl_easy_getinfo(easy, CURLINFO_PROXY_ERROR, &code);
        switch (code) {
            case CURLPX_USER_REJECTED:
            case CURLPX_NO_AUTH:
            case CURLPX_SEND_AUTH:
            case CURLPX_RECV_AUTH:
            case CURLPX_REPLY_NOT_ALLOWED:
                return Failure::ProxyRefused;
            case CURLPX_RESOLVE_HOST:
                return Failure::NameNotResolved;
            // The proxy is there; the site behind it is not.
            case CURLPX_REPLY_CONNECTION_REFUSED:
            case CURLPX_REPLY_HOST_UNREACHABLE:
            case CURLPX_REPLY_NETWORK_UNREACHABLE:
            case CURLPX_REPLY_TTL_EXPIRED:
                return Failure::Refused;
            default:
                return Failure::ProxyUnreachable;
        }
    }
    if (result == CURLE_COULDNT_CONNECT || result == CURLE_COULDNT_RESOLVE_PROXY ||
        (result == CURLE_OPERATION_TIMEDOUT && !requestSent)) {
        return Failure::ProxyUnreachable;
    }
    return failure;
}

}  // namespace oz::http::curl
