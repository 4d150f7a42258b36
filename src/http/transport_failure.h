#pragma once

#include <string>
#include <string_view>

// The words for what went wrong on the way, kept apart from the transfer itself. Inside the http
// folder only: the codes are libcurl's.
namespace oz::http {

enum class Failure;

// Why the transfer failed, by libcurl's result `code`; `requestSent` tells a slow answer from a
// connection that never came up.
Failure failureOf(int code, bool requestSent);

// What a failed transfer met, in the program's words ("服务器没有回答就关闭了连接"); libcurl's own
// text only for the rare rest. `code` is libcurl's result, `detail` its error buffer, and
// `inHeader` tells that the answer's header never ended.
std::string transportReason(int code, std::string_view detail, bool inHeader);

// What is wrong with a site's pin (its 证书公钥, normalised): empty when it is a list of
// "sha256//" and 44 base64 characters separated by ";", or the path of a file. A request with a
// pin that is neither is never sent.
inline constexpr std::string_view kPinMalformed = "pin malformed: ";
inline constexpr std::string_view kPinFileMissing = "pin file missing: ";
std::string pinProblem(std::string_view pin);

}  // namespace oz::http
