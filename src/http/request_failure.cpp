#include <string>
#include <string_view>

#include "http/http_requester.h"
#include "text/characters.h"

namespace oz::http {

namespace {

// Why no TLS session came about, read from libcurl's message (the OpenSSL verification text).
std::string tlsReason(std::string_view error) {
    struct Clue {
        std::string_view text;
        std::string_view reason;
        bool pinHelps;  // the site's own certificate: the operator may trust it by its key
    };
    static constexpr Clue kClues[] = {
        {"pinned public key", "证书的公钥与站点设置的“公钥”不符", false},
        {"expired", "证书已过期", true},
        {"not yet valid", "证书尚未生效", true},
        {"revoked", "证书已被吊销", false},
        {"subject name", "证书上的域名与站点不符", true},
        {"self-signed", "证书是自签名的，签发者不受信任", true},
        {"self signed", "证书是自签名的，签发者不受信任", true},
        {"issuer", "证书的签发者不受信任", true},
        {"unknown ca", "证书的签发者不受信任", true},
        {"wrong version number", "对方不是 HTTPS 服务，“使用 HTTPS 发布”是否应当取消？", false},
    };
    for (const Clue& clue : kClues) {
        if (text::findNoCase(error, clue.text) == std::string_view::npos) continue;
        std::string reason = "TLS 连接失败：" + std::string(clue.reason);
        if (clue.pinHelps) reason += "；要信任这个站点自己的证书，可在站点设置的“公钥”中填写它的公钥";
        return reason;
    }
    return "TLS 连接失败";
}

}  // namespace

bool cannotConnect(Failure failure) {
    return failure == Failure::Refused || failure == Failure::NameNotResolved ||
           failure == Failure::ConnectTimedOut || failure == Failure::Tls || failure == Failure::OffSite ||
           failure == Failure::ProxyUnreachable || failure == Failure::ProxyRefused ||
           failure == Failure::ProxyInvalid;
}

std::string failureReason(const PageAnswer& answer) {
    switch (answer.failure) {
        case Failure::None:
            return {};
        case Failure::Stopped:
            return "请求已中止";
        case Failure::TimedOut:
            return "等待回应超时";
        case Failure::ConnectTimedOut:
            return "连接超时";
        case Failure::Refused:
            return "连接被拒绝";
        case Failure::NameNotResolved:
            return "域名解析失败";
        case Failure::Tls:
            return tlsReason(answer.error);
        case Failure::Redirected:
            return "请求被重定向到 " + answer.redirectTarget;
        case Failure::OffSite:
            return "站点之外的地址，没有请求：" + answer.redirectTarget;
        case Failure::TooLarge:
            return "回应过大";
        case Failure::ProxyUnreachable:
            return "代理服务器无法连接：" + answer.proxyName;
        case Failure::ProxyRefused:
            return "代理服务器拒绝认证：" + answer.proxyName;
        case Failure::ProxyInvalid:
            return answer.error;
        case Failure::Other:
            break;
    }
    return answer.error.empty() ? std::string("网络错误") : "网络错误：" + answer.error;
}

}  // namespace oz::http
