#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "content/gzip.h"
#include "text/charset.h"

namespace oz::content {

// The `encoding code` of an article file or answer. The setting "文件编码" stores 0..4 (the items of
// "组合框文件编码"); Big5 and Big5Hkscs only come out of detection.
enum class EncodingCode : int {
    Detect = 0,   // "自动识别"
    Gbk = 1,      // "GBK": the bytes are taken as they are (GB18030)
    Utf8 = 2,     // "UTF-8"
    Utf16Le = 3,  // "Unicode"
    Utf16Be = 4,  // "Unicode BE"
    Big5 = 5,
    Big5Hkscs = 6,
};

// A stored setting value as a code; values outside 0..6 read as Gbk (bytes taken as they are).
EncodingCode encodingCodeFromInt(int value);
inline int toInt(EncodingCode code) { return static_cast<int>(code); }

// The charset a code converts from; std::nullopt for Detect.
std::optional<text::Charset> charsetOf(EncodingCode code);

// Both forms of `loadText` decode to UTF-8. A gzip stream (1F 8B) is inflated first; sources and
// inflated streams larger than kMaxTextBytes (content/gzip.h) give empty text. A code declared by
// the setting or a byte-order mark decodes invalid bytes as U+FFFD; a code guessed from a meta tag
// or from the bytes that the bytes disprove falls back to GBK, as does everything undetected.

// Why a file gave no text.
enum class LoadProblem {
    None,        // read (the text may still be empty: an empty file)
    Unreadable,  // missing, a folder, or not readable
    TooLarge,    // more than kMaxTextBytes, on disk or inflated
    Binary,      // NUL bytes in the first kBinaryProbeBytes of a file not declared or marked UTF-16
};

// How much of a file's content the binary test looks at.
inline constexpr std::size_t kBinaryProbeBytes = 8192;

struct LoadedText {
    std::string text;  // UTF-8; empty when the source could not be read
    EncodingCode detected = EncodingCode::Detect;
    LoadProblem problem = LoadProblem::None;
    std::string contentHash{};  // of a file, when asked for: SHA-256 of the bytes read, hex
};

// `loadText` of a file, opened read-only. A file that is missing, unreadable, empty, larger than
// kMaxTextBytes or binary gives empty text, with the problem said. `withContentHash`: the bytes'
// fingerprint too, for an article the journal keeps (other files need none).
LoadedText loadTextFile(const std::filesystem::path& path, EncodingCode setting,
                        bool withContentHash = false);

// `loadText` of a byte block (a web answer, or bytes already read).
LoadedText loadTextBytes(std::string_view bytes, EncodingCode setting);

// The charset named by the first matching <meta> tag in the page's head:
// Utf8, Big5Hkscs or Big5; Detect when no tag names one of them.
EncodingCode metaCharset(std::string_view page);

// Whether the bytes are made of ASCII plus well-formed two-, three- and four-byte UTF-8 sequences and
// hold at least one non-ASCII byte (pure ASCII is not taken as UTF-8).
bool looksLikeUtf8(std::string_view bytes);

}  // namespace oz::content
