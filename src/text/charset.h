#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace oz::text {

// The byte encodings the system meets at its edges. Inside, all text is UTF-8.
// Gbk converts with GB18030, the superset whose one- and two-byte forms are GBK's,
// so nothing the operator types is ever lost on the way to disk.
// The last two are what a back end's database keeps: SiteGbk is plain two-byte GBK (no GB18030
// four-byte forms, and no single byte 0x80 for the euro sign, which a GBK table stores as "?");
// Utf8Bmp is UTF-8 without the four-byte forms (emoji and the rarer Han characters), which a
// 3-byte utf8 table cannot hold.
enum class Charset { Utf8, Gbk, Utf16Le, Utf16Be, Big5, Big5Hkscs, SiteGbk, Utf8Bmp };

const char* charsetName(Charset charset);

// Strict conversions: std::nullopt when the input holds a byte sequence that is invalid in
// the source charset (decode) or a character the target charset cannot hold (encode).
std::optional<std::string> decode(std::string_view bytes, Charset from);
std::optional<std::string> encode(std::string_view utf8, Charset to);

// Lossy conversions never fail: an invalid source byte becomes U+FFFD (decode), a character
// the target cannot hold becomes "?" (encode).
std::string decodeLossy(std::string_view bytes, Charset from);
std::string encodeLossy(std::string_view utf8, Charset to);

// Appends the bytes of the longest start of `utf8` that `to` can hold and returns its length in
// `utf8`: utf8.size() when the whole text encodes, else the offset of the first character (or
// invalid byte) that `to` lacks.
std::size_t encodePrefix(std::string_view utf8, Charset to, std::string& out);

// What takes the place of a character the target lacks: UTF-8 text, itself encoded (a stand-in
// the target cannot hold either is left out). An invalid input byte arrives as U+FFFD.
using StandIn = std::function<std::string(char32_t)>;
std::string encodeWith(std::string_view utf8, Charset to, const StandIn& standIn);

// "&#N;", the numeric character reference a browser sends for a character the form's charset lacks.
std::string characterReference(char32_t codePoint);

// The common edge of the system: GBK/GB18030 files and records.
inline std::string gbkToUtf8(std::string_view bytes) { return decodeLossy(bytes, Charset::Gbk); }
inline std::string utf8ToGbk(std::string_view utf8) { return encodeLossy(utf8, Charset::Gbk); }

bool isValidUtf8(std::string_view bytes);

// A text file the operator made (a category list, site lines, a keyword list) as UTF-8:
//   UTF-16 in either byte order, by its byte-order mark (Notepad's "Unicode" and "Unicode big
//   endian"), or without one when every NUL byte sits in the same half of the code units;
//   UTF-8 (a leading mark dropped) when the bytes are valid UTF-8;
//   else GBK.
// std::nullopt when the bytes are none of these: invalid in the encoding found, or a NUL byte
// left (no text file holds one).
std::optional<std::string> operatorFileText(std::string_view bytes);

// The same, never failing: what does not decode is read leniently (U+FFFD for a bad sequence).
std::string utf8OrGbkText(std::string_view bytes);

}  // namespace oz::text
