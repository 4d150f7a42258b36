#include "http/curl_support.h"

#include <array>
#include <initializer_list>
#include <mutex>
#include <optional>
#include <utility>

#include "text/characters.h"

namespace oz::http::curl {

namespace {

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

std::string hostOf(const std::string& url) {
    const UrlHandle parsed = parseUrl(url);
    return parsed ? urlPart(parsed.get(), CURLUPART_HOST) : std::string();
}

}  // namespace

EasyHandle newEasy() {
    CurlRuntime::instance();
    return EasyHandle(curl_easy_init());
}

MultiHandle newMulti() {
    CurlRuntime::instance();
    return MultiHandle(curl_multi_init());
}

CURLSH* suffixListShare() { return CurlRuntime::instance().suffixListShare(); }

UrlHandle parseUrl(const std::string& url, const std::string& base) {
    UrlHandle handle(curl_url());
    if (!handle) return handle;
    constexpr unsigned kFlags = CURLU_URLENCODE | CURLU_ALLOW_SPACE | CURLU_NON_SUPPORT_SCHEME;
    if ((!base.empty() && curl_url_set(handle.get(), CURLUPART_URL, base.c_str(), kFlags) != CURLUE_OK) ||
        curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), kFlags) != CURLUE_OK) {
        handle.reset();
    }
    return handle;
}

std::string urlPart(CURLU* url, CURLUPart part, unsigned flags) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK || text == nullptr) return {};
    std::string out = text;
    curl_free(text);
    return out;
}

std::string originOf(CURLU* url) {
    std::string origin = urlPart(url, CURLUPART_SCHEME) + "://" + urlPart(url, CURLUPART_HOST) + ":" +
                         urlPart(url, CURLUPART_PORT, CURLU_DEFAULT_PORT);
    return text::toLowerAscii(origin);
}

std::string shownTarget(CURLU* url) {
    for (CURLUPart part :
         {CURLUPART_USER, CURLUPART_PASSWORD, CURLUPART_OPTIONS, CURLUPART_QUERY, CURLUPART_FRAGMENT}) {
        curl_url_set(url, part, nullptr, 0);
    }
    return urlPart(url, CURLUPART_URL);
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

std::string scrubSecret(std::string message, std::string_view secret) {
    if (secret.empty()) return message;
    for (std::size_t pos; (pos = message.find(secret)) != std::string::npos;) {
        message.replace(pos, secret.size(), "***");
    }
    return message;
}

std::string scrub(std::string message, std::string_view secretSource) {
    if (const std::size_t scheme = secretSource.find("://"); scheme != std::string_view::npos) {
        secretSource.remove_prefix(scheme + 3);
    }
    const std::string_view authority = secretSource.substr(0, secretSource.find_first_of("/?#"));
    const std::size_t at = authority.rfind('@');
    if (at == std::string_view::npos || at == 0) return message;
    return scrubSecret(std::move(message), authority.substr(0, at));
}

}  // namespace oz::http::curl
