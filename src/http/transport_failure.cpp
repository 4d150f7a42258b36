#include "http/transport_failure.h"

#include <curl/curl.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

#include "http/http_requester.h"
#include "text/characters.h"

namespace oz::http {

// Why the transfer failed, by libcurl's result; `requestSent` tells a slow answer from a connection
// that never came up.
Failure failureOf(int code, bool requestSent) {
    switch (static_cast<CURLcode>(code)) {
        case CURLE_OK:
            return Failure::None;
        case CURLE_OPERATION_TIMEDOUT:
            return requestSent ? Failure::TimedOut : Failure::ConnectTimedOut;
        case CURLE_COULDNT_CONNECT:
            return Failure::Refused;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
            return Failure::NameNotResolved;
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CIPHER:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
        case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
        case CURLE_SSL_INVALIDCERTSTATUS:
        case CURLE_USE_SSL_FAILED:
            return Failure::Tls;
        default:
            return Failure::Other;
    }
}

// What a failed transfer met, in the program's words; libcurl's own text only for the rare rest.
// `detail` is libcurl's error buffer; `inHeader` tells that the answer's header never ended.
std::string transportReason(int code, std::string_view detail, bool inHeader) {
    const auto result = static_cast<CURLcode>(code);
    const bool headerTooLarge =
        detail.find("header") != std::string_view::npos || detail.find("Header") != std::string_view::npos;
    switch (result) {
        case CURLE_GOT_NOTHING:
            return "服务器没有回答就关闭了连接";
        case CURLE_OUT_OF_MEMORY:
            // libcurl gives up on a header line longer than it keeps (100 KB) this way.
            if (inHeader || headerTooLarge) return "回答的头部过大（单行超过上限）";
            return "内存不足";
        case CURLE_RECV_ERROR:
            if (headerTooLarge) return "回答的头部过大（超过 300 KB）";
            return "接收回答时连接中断";
        case CURLE_SEND_ERROR:
            return "发送请求时连接中断";
        case CURLE_PARTIAL_FILE:
            return "回答不完整：连接在回答结束之前关闭";
        case CURLE_WEIRD_SERVER_REPLY:
            return "服务器的回答不是 HTTP 回答";
        case CURLE_BAD_CONTENT_ENCODING:
            return "回答的压缩数据无法解开";
        case CURLE_TOO_MANY_REDIRECTS:
            return "重定向次数过多";
        case CURLE_URL_MALFORMAT:
            return "网址格式不正确";
        case CURLE_UNSUPPORTED_PROTOCOL:
            return "不支持的网址协议";
        case CURLE_HTTP2:
        case CURLE_HTTP2_STREAM:
            return "HTTP/2 传输出错";
        default: {
            std::string message = curl_easy_strerror(result);
            if (!detail.empty()) message += std::string(": ") + std::string(detail);
            return message;
        }
    }
}

std::string pinProblem(std::string_view pin) {
    if (pin.empty()) return {};
    if (text::findNoCase(pin, "sha256//") == std::string_view::npos) {
        std::error_code error;
        if (std::filesystem::is_regular_file(std::filesystem::path(std::string(pin)), error)) return {};
        return std::string(kPinFileMissing) + std::string(pin);
    }
    // "sha256//" and the 44 characters of a SHA-256 in base64, for each key of the list.
    std::size_t at = 0;
    while (at <= pin.size()) {
        const std::size_t end = std::min(pin.find(';', at), pin.size());
        const std::string_view key = pin.substr(at, end - at);
        const std::string_view hash = key.size() > 8 ? key.substr(8) : std::string_view();
        const bool wellFormed =
            text::equalsNoCase(key.substr(0, 8), "sha256//") && hash.size() == 44 && hash.ends_with('=') &&
            hash.substr(0, 43).find_first_not_of(
                "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/") == std::string_view::npos;
        if (!wellFormed) return std::string(kPinMalformed) + std::string(key);
        at = end + 1;
    }
    return {};
}

namespace {

// Why no TLS session came about, read from libcurl's message (the OpenSSL verification text).
std::string tlsReason(std::string_view error) {
    struct Clue {
        std::string_view text;
        std::string_view reason;
        bool pinHelps;  // the site's own certificate: the operator may trust it by its key
    };
    static constexpr Clue kClues[] = {
        {kPinMalformed,
         "站点设置的“公钥”格式不正确（应为 sha256// 加 44 个字符的 base64，多个用“;”隔开，或公钥文件的路径）",
         false},
        {kPinFileMissing, "站点设置的“公钥”不是 sha256// 指纹，也不是存在的公钥文件", false},
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
        if (clue.text == kPinMalformed || clue.text == kPinFileMissing) {
            reason += "：" + std::string(error.substr(error.find(clue.text) + clue.text.size()));
        }
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
