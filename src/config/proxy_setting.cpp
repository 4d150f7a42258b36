#include "config/proxy_setting.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "text/characters.h"

namespace oz::config {

namespace {

constexpr std::string_view kFormat =
    "（应为 http://主机:端口、https://主机:端口 或 socks5://主机:端口，可带 用户:密码@，或填 IE）";

struct SchemeName {
    std::string_view text;
    ProxyScheme scheme;
};
constexpr std::array kSchemes = {
    SchemeName{"http", ProxyScheme::Http},
    SchemeName{"https", ProxyScheme::Https},
    SchemeName{"socks5", ProxyScheme::Socks5},
    SchemeName{"socks5h", ProxyScheme::Socks5},
};

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecoded(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

bool hostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

ProxyParse refused(std::string why) {
    return {std::nullopt, "代理服务器格式不对：" + why + std::string(kFormat)};
}

const char* schemeText(ProxyScheme scheme) {
    switch (scheme) {
        case ProxyScheme::Http:
            return "http";
        case ProxyScheme::Https:
            return "https";
        case ProxyScheme::Socks5:
            break;
    }
    return "socks5";
}

}  // namespace

std::string ProxyAddress::hostPort() const { return host + ":" + std::to_string(port); }

std::string ProxyAddress::transportUrl() const {
    // socks5h: the proxy resolves the site's name, so no lookup leaves this machine directly.
    const char* prefix = scheme == ProxyScheme::Socks5 ? "socks5h" : schemeText(scheme);
    return std::string(prefix) + "://" + hostPort();
}

ProxyParse parseProxyAddress(std::string_view text) {
    ProxyAddress address;
    std::string_view rest = text;
    if (const std::size_t colons = rest.find("://"); colons != std::string_view::npos) {
        const std::string scheme = text::toLowerAscii(std::string(rest.substr(0, colons)));
        const auto known = std::find_if(kSchemes.begin(), kSchemes.end(),
                                        [&](const SchemeName& s) { return s.text == scheme; });
        if (known == kSchemes.end()) return refused("不支持的协议“" + scheme + "”");
        address.scheme = known->scheme;
        rest.remove_prefix(colons + 3);
    }
    // A trailing "/" is allowed; a path or anything after it is not.
    if (rest.ends_with('/')) rest.remove_suffix(1);
    if (rest.find_first_of("/?#") != std::string_view::npos) return refused("代理地址不能带路径");
    if (const std::size_t at = rest.rfind('@'); at != std::string_view::npos) {
        const std::string_view userInfo = rest.substr(0, at);
        rest.remove_prefix(at + 1);
        const std::size_t colon = userInfo.find(':');
        const std::optional<std::string> user = percentDecoded(userInfo.substr(0, colon));
        const std::optional<std::string> password =
            colon == std::string_view::npos ? std::string() : percentDecoded(userInfo.substr(colon + 1));
        if (!user || !password) return refused("用户名或密码中的 % 编码不完整");
        if (user->empty()) return refused("“@”前缺少用户名");
        address.user = *user;
        address.password = *password;
    }
    std::string_view port;
    if (rest.starts_with('[')) {
        const std::size_t close = rest.find(']');
        if (close == std::string_view::npos) return refused("IPv6 地址缺少“]”");
        address.host = std::string(rest.substr(0, close + 1));
        rest.remove_prefix(close + 1);
        if (!rest.starts_with(':')) return refused("缺少端口");
        port = rest.substr(1);
        const std::string_view inside = std::string_view(address.host).substr(1, address.host.size() - 2);
        if (inside.empty() || inside.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos)
            return refused("IPv6 地址不对");
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string_view::npos) return refused("缺少端口");
        address.host = std::string(rest.substr(0, colon));
        port = rest.substr(colon + 1);
        if (address.host.empty()) return refused("缺少主机");
        if (!std::all_of(address.host.begin(), address.host.end(), hostCharacter))
            return refused("主机名含有不允许的字符");
    }
    if (port.empty() || port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos)
        return refused("端口应为 1–65535 的数字");
    address.port = std::stoi(std::string(port));
    if (address.port < 1 || address.port > 65535) return refused("端口应为 1–65535 的数字");
    return {std::move(address), {}};
}

std::string proxySettingProblem(std::string_view setting) {
    if (setting.empty() || setting == kProxySystem) return {};
    return parseProxyAddress(setting).problem;
}

std::string maskedProxySetting(std::string_view setting) {
    const std::size_t colons = setting.find("://");
    const std::size_t start = colons == std::string_view::npos ? 0 : colons + 3;
    const std::size_t at = setting.rfind('@');
    if (at == std::string_view::npos || at < start) return std::string(setting);
    const std::size_t colon = setting.find(':', start);
    if (colon == std::string_view::npos || colon > at) return std::string(setting);
    return std::string(setting.substr(0, colon + 1)) + "******" + std::string(setting.substr(at));
}

}  // namespace oz::config
