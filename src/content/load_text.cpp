#include "content/load_text.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <system_error>

#include "text/characters.h"
#include "text/sha256.h"

namespace oz::content {
namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// Where the detected code came from: a code the operator chose or a byte-order mark is trusted even
// when a few bytes are broken; a code guessed from a meta tag or from the bytes is not.
enum class Origin { Declared, Guessed };

using text::findNoCase;

bool containsAnyNoCase(std::string_view hay, const std::array<std::string_view, 3>& alternatives) {
    for (std::string_view alternative : alternatives) {
        if (findNoCase(hay, alternative) != std::string_view::npos) return true;
    }
    return false;
}

bool isContinuation(unsigned char b) { return (b & 0xC0) == 0x80; }

std::string decodeGbk(std::string_view bytes) { return text::decodeLossy(bytes, text::Charset::Gbk); }

}  // namespace

EncodingCode encodingCodeFromInt(int value) {
    if (value < 0 || value > static_cast<int>(EncodingCode::Big5Hkscs)) return EncodingCode::Gbk;
    return static_cast<EncodingCode>(value);
}

std::optional<text::Charset> charsetOf(EncodingCode code) {
    switch (code) {
        case EncodingCode::Gbk:
            return text::Charset::Gbk;
        case EncodingCode::Utf8:
            return text::Charset::Utf8;
        case EncodingCode::Utf16Le:
            return text::Charset::Utf16Le;
        case EncodingCode::Utf16Be:
            return text::Charset::Utf16Be;
        case EncodingCode::Big5:
            return text::Charset::Big5;
        case EncodingCode::Big5Hkscs:
            return text::Charset::Big5Hkscs;
        case EncodingCode::Detect:
            break;
    }
    return std::nullopt;
}

EncodingCode metaCharset(std::string_view page) {
    // Big5-HKSCS is tested before Big5: "charset=Big5" is a prefix of "charset=Big5-HKSCS" and would
    // otherwise take the HKSCS pages, whose extra characters plain Big5 cannot read.
    static constexpr std::array<std::string_view, 3> kUtf8 = {"charset=UTF-8", "charset=\"UTF-8\"",
                                                              "charset='UTF-8'"};
    static constexpr std::array<std::string_view, 3> kHkscs = {"charset=Big5-HKSCS", "charset=\"Big5-HKSCS\"",
                                                               "charset='Big5-HKSCS'"};
    static constexpr std::array<std::string_view, 3> kBig5 = {"charset=Big5", "charset=\"Big5\"",
                                                              "charset='Big5'"};

    std::string_view head = page;
    if (const std::size_t open = findNoCase(page, "<head>"); open != std::string_view::npos) {
        const std::size_t from = open + 6;
        if (const std::size_t close = findNoCase(page, "</head>", from); close != std::string_view::npos) {
            head = page.substr(from, close - from);
        }
    }

    std::size_t pos = 0;
    for (;;) {
        const std::size_t tagStart = findNoCase(head, "<meta", pos);
        if (tagStart == std::string_view::npos) break;
        const std::size_t tagEnd = head.find('>', tagStart + 5);
        if (tagEnd == std::string_view::npos) break;
        const std::string_view tag = head.substr(tagStart + 5, tagEnd - tagStart - 5);
        if (containsAnyNoCase(tag, kUtf8)) return EncodingCode::Utf8;
        if (containsAnyNoCase(tag, kHkscs)) return EncodingCode::Big5Hkscs;
        if (containsAnyNoCase(tag, kBig5)) return EncodingCode::Big5;
        pos = tagEnd + 1;
    }
    return EncodingCode::Detect;
}

bool looksLikeUtf8(std::string_view bytes) {
    bool sawNonAscii = false;
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ++i;
            continue;
        }
        std::size_t tail = 0;
        if ((b & 0xE0) == 0xC0) {
            tail = 1;
        } else if ((b & 0xF0) == 0xE0) {
            tail = 2;
        } else if (b >= 0xF0 && b <= 0xF4) {
            tail = 3;  // four-byte forms (emoji and the rarer Han characters)
        } else {
            return false;
        }
        if (i + tail >= n) return false;  // cut off by the end
        for (std::size_t k = 1; k <= tail; ++k) {
            if (!isContinuation(static_cast<unsigned char>(bytes[i + k]))) return false;
        }
        sawNonAscii = true;
        i += tail + 1;
    }
    return sawNonAscii;
}

namespace {

// Text files hold no NUL byte, except UTF-16 ones, which are declared or carry their mark.
bool looksBinary(std::string_view content, EncodingCode setting) {
    if (setting == EncodingCode::Utf16Le || setting == EncodingCode::Utf16Be) return false;
    if (setting == EncodingCode::Detect &&
        (content.starts_with(kUtf16LeMark) || content.starts_with(kUtf16BeMark)))
        return false;
    return content.substr(0, kBinaryProbeBytes).find('\0') != std::string_view::npos;
}

LoadedText loadContent(std::string_view bytes, EncodingCode setting, bool refuseBinary) {
    std::optional<std::string> inflated;
    std::string_view content = bytes;
    if (content.size() > kMaxTextBytes) return {{}, setting, LoadProblem::TooLarge};
    if (isGzip(content)) {
        inflated = gunzip(content);
        if (!inflated) return {{}, setting, LoadProblem::TooLarge};
        content = *inflated;
    }
    if (refuseBinary && looksBinary(content, setting)) return {{}, setting, LoadProblem::Binary};

    EncodingCode detected = setting;
    Origin origin = Origin::Declared;
    std::size_t start = 0;
    switch (setting) {
        case EncodingCode::Utf16Le:
        case EncodingCode::Utf16Be:
            start = std::min<std::size_t>(2, content.size());  // the mark is skipped unchecked
            break;
        case EncodingCode::Utf8:
            if (content.starts_with(kUtf8Mark)) start = 3;
            break;
        case EncodingCode::Detect:
            if (content.starts_with(kUtf8Mark)) {
                detected = EncodingCode::Utf8;
                start = 3;
            } else if (content.starts_with(kUtf16LeMark)) {
                detected = EncodingCode::Utf16Le;
                start = 2;
            } else if (content.starts_with(kUtf16BeMark)) {
                detected = EncodingCode::Utf16Be;
                start = 2;
            } else {
                detected = metaCharset(content);
                origin = Origin::Guessed;
            }
            break;
        case EncodingCode::Gbk:
        case EncodingCode::Big5:
        case EncodingCode::Big5Hkscs:
            break;
        default:
            detected = EncodingCode::Gbk;
            break;
    }

    const std::string_view body = content.substr(start);
    if (detected == EncodingCode::Detect && looksLikeUtf8(body)) detected = EncodingCode::Utf8;

    if (detected != EncodingCode::Detect && detected != EncodingCode::Gbk) {
        // A source that holds nothing but its byte-order mark is empty, not two or three odd characters.
        if (body.empty()) return {{}, detected};
        const text::Charset charset = *charsetOf(detected);
        if (std::optional<std::string> decoded = text::decode(body, charset); decoded && !decoded->empty()) {
            return {std::move(*decoded), detected};
        }
        if (origin == Origin::Declared) {
            std::string lossy = text::decodeLossy(body, charset);
            if (!lossy.empty()) return {std::move(lossy), detected};
        }
    }
    // Undetected, GBK, or a guess that the bytes disprove: the whole content as GBK.
    return {decodeGbk(content), EncodingCode::Gbk};
}

}  // namespace

LoadedText loadTextBytes(std::string_view bytes, EncodingCode setting) {
    return loadContent(bytes, setting, false);
}

LoadedText loadTextFile(const std::filesystem::path& path, EncodingCode setting, bool withContentHash) {
    const LoadedText unreadable{{}, setting, LoadProblem::Unreadable};
    std::error_code ec;
    if (path.empty() || std::filesystem::is_directory(path, ec)) return unreadable;
    std::ifstream in(path, std::ios::binary);
    if (!in) return unreadable;
    std::string bytes;
    char buffer[65536];
    while (in) {
        in.read(buffer, sizeof buffer);
        const std::streamsize got = in.gcount();
        if (got <= 0) break;
        if (bytes.size() + static_cast<std::size_t>(got) > kMaxTextBytes) {
            return {{}, setting, LoadProblem::TooLarge};
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    if (in.bad()) return unreadable;
    LoadedText loaded = loadContent(bytes, setting, true);
    if (withContentHash) {
        text::Sha256 hash;
        hash.add(bytes);
        loaded.contentHash = text::hexDigest(hash.finish());
    }
    return loaded;
}

}  // namespace oz::content
