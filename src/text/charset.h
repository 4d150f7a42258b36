#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace oz::text {

// The byte encodings the system meets at its edges. Inside, all text is UTF-8.
// Gbk converts with GB18030, the superset whose one- and two-byte forms are GBK's,
// so nothing the operator types is ever lost on the way to disk.
enum class Charset { Utf8, Gbk, Utf16Le, Utf16Be, Big5, Big5Hkscs };

const char* charsetName(Charset charset);

// Strict conversions: std::nullopt when the input holds a byte sequence that is invalid in
// the source charset (decode) or a character the target charset cannot hold (encode).
std::optional<std::string> decode(std::string_view bytes, Charset from);
std::optional<std::string> encode(std::string_view utf8, Charset to);

// Lossy conversions never fail: an invalid source byte becomes U+FFFD (decode), a character
// the target cannot hold becomes "?" (encode).
std::string decodeLossy(std::string_view bytes, Charset from);
std::string encodeLossy(std::string_view utf8, Charset to);

// The common edge of the system: GBK/GB18030 files and records.
inline std::string gbkToUtf8(std::string_view bytes) { return decodeLossy(bytes, Charset::Gbk); }
inline std::string utf8ToGbk(std::string_view utf8) { return encodeLossy(utf8, Charset::Gbk); }

bool isValidUtf8(std::string_view bytes);

}  // namespace oz::text
