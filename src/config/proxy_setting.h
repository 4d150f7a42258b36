#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace oz::config {

// The value of a site's 代理服务器 (and of 默认代理服务器): how its requests leave this machine.
//   ""   direct;
//   "IE" the user's proxy environment (http_proxy, https_proxy, all_proxy, no_proxy);
//   "http://[user:password@]host:port"   an HTTP proxy (CONNECT for HTTPS sites);
//   "https://[user:password@]host:port"  the same over TLS to the proxy;
//   "socks5://[user:password@]host:port" SOCKS5; the proxy resolves the site's host name.
// A value without "://" is an HTTP proxy. User and password may be percent-encoded ("%40" for "@").
inline constexpr std::string_view kProxySystem = "IE";

enum class ProxyScheme { Http, Https, Socks5 };

struct ProxyAddress {
    ProxyScheme scheme = ProxyScheme::Http;
    std::string host;  // a name, an IPv4 address or a bracketed IPv6 address
    int port = 0;
    std::string user;      // decoded
    std::string password;  // decoded

    // "host:port": how every message names the proxy (never with its user or password).
    std::string hostPort() const;
    // The address as libcurl takes it, without user or password ("socks5h://host:port").
    std::string transportUrl() const;
};

struct ProxyParse {
    std::optional<ProxyAddress> address;  // set when the text names a proxy
    std::string problem;                  // why the text is refused; empty when it is accepted
};

// Reads a proxy address (not "" or "IE"). The problem names what is wrong, never the password.
ProxyParse parseProxyAddress(std::string_view text);

// Why a 代理服务器 value cannot be stored ("代理服务器格式不对：…"); empty when it can.
std::string proxySettingProblem(std::string_view setting);

// The value as it may be shown: the password replaced by "******".
std::string maskedProxySetting(std::string_view setting);

// The value a site's requests use: its own 代理服务器 when the record has the key, else the default.
inline const std::string& effectiveProxy(const std::optional<std::string>& own, const std::string& fallback) {
    return own ? *own : fallback;
}

}  // namespace oz::config
