#include "http/request_rules.h"

#include <cmath>
#include <cstdlib>
#include <random>

#include "text/characters.h"

namespace oz::http {
namespace {

constexpr std::string_view kProfile0Accept =
    "image/gif, image/bmp, image/x-xbitmap, image/jpeg, image/pjpeg, application/x-shockwave-flash, "
    "application/vnd.ms-excel, application/vnd.ms-powerpoint, application/msword, */*";
constexpr std::string_view kRefererNoMarker = "RefererNo";
constexpr long kDefaultWaitMs = 120000;

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

using text::equalsNoCase;

bool startsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && equalsNoCase(text.substr(0, prefix.size()), prefix);
}

bool containsNoCase(std::string_view hay, std::string_view needle) {
    return text::findNoCase(hay, needle) != std::string_view::npos;
}

std::string_view trimSpaces(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool hasHttpScheme(std::string_view url) {
    return startsWithNoCase(url, "http://") || startsWithNoCase(url, "https://");
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

// Header lines given as text. Profile 1 splits at the first ": " and keeps the value as it is;
// profile 0 splits at the first ":" and trims. Lines without a name or a value are ignored.
std::vector<HeaderLine> parseHeaderText(std::string_view text, bool colonSpace) {
    std::vector<HeaderLine> out;
    for (std::string_view line : splitLines(text)) {
        const std::size_t sep = line.find(colonSpace ? ": " : ":");
        if (sep == std::string_view::npos) continue;
        std::string_view name = trimSpaces(line.substr(0, sep));
        std::string_view value = line.substr(sep + (colonSpace ? 2 : 1));
        if (!colonSpace) value = trimSpaces(value);
        if (name.empty() || value.empty()) continue;
        out.push_back({std::string(name), std::string(value)});
    }
    return out;
}

void stripLineBreaks(std::string& text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n'; });
}

class HeaderList {
   public:
    const HeaderLine* find(std::string_view name) const {
        for (const HeaderLine& line : m_lines) {
            if (equalsNoCase(line.name, name)) return &line;
        }
        return nullptr;
    }
    bool has(std::string_view name) const { return find(name) != nullptr; }
    // Sets the header, replacing one of the same name in its place.
    void set(std::string_view name, std::string_view value) {
        for (HeaderLine& line : m_lines) {
            if (equalsNoCase(line.name, name)) {
                line.value = value;
                return;
            }
        }
        m_lines.push_back({std::string(name), std::string(value)});
    }
    void addIfMissing(std::string_view name, std::string_view value) {
        if (!has(name)) m_lines.push_back({std::string(name), std::string(value)});
    }
    void remove(std::string_view name) {
        std::erase_if(m_lines, [&](const HeaderLine& line) { return equalsNoCase(line.name, name); });
    }
    std::vector<HeaderLine> take() { return std::move(m_lines); }

   private:
    std::vector<HeaderLine> m_lines;
};

// Removes the header and returns its value ("" when absent).
std::string takeHeader(HeaderList& headers, std::string_view name) {
    const HeaderLine* line = headers.find(name);
    std::string value = line != nullptr ? line->value : std::string();
    headers.remove(name);
    return value;
}

std::string resolvedCookies(const PageRequest& request, std::string_view cookieStore) {
    return request.cookies.empty() ? std::string(cookieStore) : request.cookies;
}

void planProfile1(const PageRequest& request, std::string_view forgedIp, RequestPlan& plan) {
    HeaderList headers;
    std::string referer = request.referer.empty() ? plan.url : request.referer;
    if (!hasHttpScheme(referer)) referer = "http://" + referer;
    headers.set("Referer", referer);
    const bool extraContentType = containsNoCase(request.extraHeaders, "Content-Type:");
    if (!extraContentType) {
        headers.set("Content-Type",
                    request.contentType.empty() ? kFormContentType : std::string_view(request.contentType));
    }
    if (!containsNoCase(request.extraHeaders, "User-Agent:")) {
        headers.set("User-Agent",
                    request.userAgent.empty() ? kDefaultUserAgent : std::string_view(request.userAgent));
    }
    std::string lines = request.extraHeaders;
    if (request.fakeClientIp) lines += "\r\n" + forgedClientLines(forgedIp);
    for (const HeaderLine& line : parseHeaderText(lines, true)) headers.set(line.name, line.value);

    // The transport computes the length itself; a stale copy from the caller would corrupt the request.
    headers.remove("Content-Length");
    // Cookies travel on one line together with the requester's own cookies.
    const std::string extraCookie = takeHeader(headers, "Cookie");
    plan.headers = headers.take();

    if (plan.cookiesUsed == "-1") {
        plan.cookieText = std::string();
    } else if (!plan.cookiesUsed.empty()) {
        plan.cookieText = plan.cookiesUsed;
    } else if (!extraCookie.empty()) {
        plan.cookieText = extraCookie;
    }
}

void planProfile0(const PageRequest& request, std::string_view forgedIp, RequestPlan& plan) {
    // Single values must stay single lines once folded into the header text.
    std::string contentType = request.contentType;
    std::string userAgent = request.userAgent;
    std::string referer = request.referer.empty() ? plan.url : request.referer;
    for (std::string* value : {&contentType, &userAgent, &referer}) stripLineBreaks(*value);

    std::string text = request.extraHeaders + "\r\n";
    if (!contentType.empty()) text += "Content-Type: " + contentType;
    text += "\r\n";
    if (!userAgent.empty()) text += "User-Agent: " + userAgent;
    text += "\r\nReferer: " + referer;
    if (request.fakeClientIp) text += "\r\n" + forgedClientLines(forgedIp);

    bool noReferer = false;
    if (const std::size_t marker = text.find(kRefererNoMarker); marker != std::string::npos) {
        noReferer = true;
        text.erase(marker, kRefererNoMarker.size());
    }

    // The first line of a name wins: the caller's extra lines come before the defaults.
    HeaderList headers;
    for (const HeaderLine& line : parseHeaderText(text, false)) headers.addIfMissing(line.name, line.value);
    headers.addIfMissing("User-Agent", kDefaultUserAgent);
    headers.addIfMissing("Accept", kProfile0Accept);
    if (noReferer) headers.remove("Referer");
    headers.addIfMissing("Accept-Language", "zh-cn");
    if (plan.post) headers.addIfMissing("Content-Type", kFormContentType);
    headers.remove("Content-Length");
    // A cookie text of the caller (parameter or extra line) replaces the profile-0 store for this request.
    std::string cookie = takeHeader(headers, "Cookie");
    if (!plan.cookiesUsed.empty()) cookie = plan.cookiesUsed == "-1" ? std::string() : plan.cookiesUsed;
    plan.storeCookies = plan.cookiesUsed.empty() && cookie.empty();
    if (!plan.storeCookies) headers.set("Cookie", cookie);
    plan.headers = headers.take();
}

std::optional<std::string> firstSet(const EnvironmentLookup& environment,
                                    std::initializer_list<const char*> names) {
    for (const char* name : names) {
        std::optional<std::string> value = environment(name);
        if (value && !value->empty()) return value;
    }
    return std::nullopt;
}

}  // namespace

std::string normalizeUrl(std::string_view url) {
    std::string out(url.substr(0, url.find('#')));
    if (!hasHttpScheme(out)) out.insert(0, "http://");
    return out;
}

RequestPlan planRequest(const PageRequest& request, std::string_view cookieStore, std::string_view forgedIp) {
    RequestPlan plan;
    plan.url = normalizeUrl(request.url);
    plan.post = !request.postText.empty() || !request.postBytes.empty();
    // The text body takes precedence in profile 1, the byte body in profile 0.
    if (request.accessMethod == kProfile1) {
        plan.body = !request.postText.empty() ? request.postText : request.postBytes;
    } else {
        plan.body = !request.postBytes.empty() ? request.postBytes : request.postText;
    }
    plan.cookiesUsed = resolvedCookies(request, cookieStore);
    if (request.accessMethod == kProfile1) {
        planProfile1(request, forgedIp, plan);
    } else {
        planProfile0(request, forgedIp, plan);
    }
    // A line break inside a value (a referer, a user agent, a kept cookie) would start a header of its own.
    for (HeaderLine& line : plan.headers) {
        stripLineBreaks(line.name);
        stripLineBreaks(line.value);
    }
    if (plan.cookieText) stripLineBreaks(*plan.cookieText);
    return plan;
}

std::string randomIpv4() {
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<int> octet(0, 255);
    std::string ip;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) ip += '.';
        ip += std::to_string(octet(generator));
    }
    return ip;
}

std::string forgedClientLines(std::string_view ip) {
    const std::string a(ip);
    return "X-Forward-For: " + a + "\r\nX-Forwarded-For: " + a + "\r\nREMOTE_ADDR: " + a;
}

TimeLimits timeLimits(int accessMethod, double timeoutSeconds, bool synchronous) {
    TimeLimits limits;
    if (accessMethod != kProfile1) {
        // The caller waits for the whole exchange; zero (and any value below one millisecond) means 120 s.
        const double ms = timeoutSeconds * 1000.0;
        limits.totalMs = ms >= 1.0 && ms < 2.0e9 ? static_cast<long>(ms) : kDefaultWaitMs;
        return limits;
    }
    if (timeoutSeconds == -1) {
        // The transport's own defaults: 60 s to connect, 30 s per receive.
        limits.connectMs = 60000;
        limits.idleSeconds = 30;
        limits.totalMs = synchronous ? 0 : kDefaultWaitMs;
    } else if (timeoutSeconds >= 1 && timeoutSeconds < 2.0e6) {
        const long ms = static_cast<long>(timeoutSeconds * 1000.0);
        limits.connectMs = ms;
        limits.idleSeconds = static_cast<long>(std::ceil(timeoutSeconds));
        limits.totalMs = synchronous ? 0 : ms;
    } else {
        limits.connectMs = 20000;  // 10 s to resolve plus 10 s to connect
        limits.idleSeconds = 120;
        limits.totalMs = synchronous ? 0 : kDefaultWaitMs;
    }
    return limits;
}

ProxyChoice chooseProxy(std::string_view proxy, std::string_view url, const EnvironmentLookup& environment) {
    if (proxy == "-1") return {ProxyMode::TransportDefault, {}, {}};
    if (proxy.empty()) return {ProxyMode::Direct, {}, {}};
    if (proxy != "IE") return {ProxyMode::Named, std::string(proxy), {}};

    // Like libcurl: the upper-case HTTP_PROXY is not read (a CGI environment sets it from a header).
    const std::optional<std::string> found =
        startsWithNoCase(normalizeUrl(url), "https://")
            ? firstSet(environment, {"https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
            : firstSet(environment, {"http_proxy", "all_proxy", "ALL_PROXY"});
    if (!found) return {ProxyMode::Direct, {}, {}};
    return {ProxyMode::Named, *found, firstSet(environment, {"no_proxy", "NO_PROXY"}).value_or("")};
}

EnvironmentLookup processEnvironment() {
    return [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    };
}

bool headersDeclareUtf8(std::string_view headers) {
    return containsNoCase(headers, "charset=utf-8") || containsNoCase(headers, "charset=\"utf-8\"") ||
           containsNoCase(headers, "charset='utf-8'");
}

int headerCharsetCode(std::string_view headers) {
    for (std::string_view line : splitLines(headers)) {
        if (!startsWithNoCase(line, "Content-Type:")) continue;
        std::string value;
        for (char c : line) {
            if (c != '"' && c != '\'' && c != ' ') value += asciiLower(c);
        }
        const std::size_t at = value.find("charset=");
        if (at == std::string::npos) return 0;
        std::string charset = value.substr(at + 8);
        charset = charset.substr(0, charset.find(';'));
        if (charset == "utf-8" || charset == "utf8") return 2;
        if (charset == "gbk" || charset == "gb2312" || charset == "gb18030") return 1;
        if (charset == "big5") return 5;
        if (charset == "big5-hkscs") return 6;
        return 0;
    }
    return 0;
}

std::string cookieStoreFromHeaders(std::string_view headers) {
    std::string store;
    for (std::string_view line : splitLines(headers)) {
        if (!startsWithNoCase(line, "Set-Cookie:")) continue;
        std::string_view value = trimSpaces(line.substr(11));
        if (!store.empty()) store += "; ";
        store += value;
    }
    return store;
}

std::vector<std::pair<std::string, std::string>> setCookiePairs(std::string_view headers) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (std::string_view line : splitLines(headers)) {
        if (!startsWithNoCase(line, "Set-Cookie:")) continue;
        std::string_view cookie = line.substr(11);
        cookie = trimSpaces(cookie.substr(0, cookie.find(';')));
        const std::size_t eq = cookie.find('=');
        if (eq == std::string_view::npos) continue;
        std::string_view name = trimSpaces(cookie.substr(0, eq));
        if (name.empty()) continue;
        pairs.emplace_back(std::string(name), std::string(trimSpaces(cookie.substr(eq + 1))));
    }
    return pairs;
}

std::vector<std::string> redirectLocations(std::string_view block) {
    std::vector<std::string> locations;
    const std::size_t space = block.find(' ');
    if (!block.starts_with("HTTP/") || space == std::string_view::npos || space + 1 >= block.size() ||
        block[space + 1] != '3') {
        return locations;
    }
    for (std::string_view line : splitLines(block)) {
        const std::size_t colon = line.find(':');
        if (colon != std::string_view::npos && equalsNoCase(trimSpaces(line.substr(0, colon)), "Location")) {
            locations.emplace_back(trimSpaces(line.substr(colon + 1)));
        }
    }
    return locations;
}

}  // namespace oz::http
