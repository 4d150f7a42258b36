#include "text/charset.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "text/characters.h"

namespace oz::text {

namespace {

// iconv descriptors carry state and are not thread-safe, and opening one costs more than a short
// conversion: each thread keeps the few it uses open, and resets one before every conversion.
class IconvHandle {
   public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) iconv_close(m_cd);
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;

    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }

   private:
    iconv_t m_cd;
};

// The calling thread's descriptor for the pair, ready for a new conversion; nullptr when iconv
// knows no such conversion.
IconvHandle* threadDescriptor(const char* to, const char* from) {
    struct Entry {
        const char* to;
        const char* from;
        std::unique_ptr<IconvHandle> handle;
    };
    thread_local std::vector<Entry> entries;
    for (Entry& entry : entries) {
        if (std::strcmp(entry.to, to) == 0 && std::strcmp(entry.from, from) == 0) {
            iconv(entry.handle->get(), nullptr, nullptr, nullptr, nullptr);
            return entry.handle.get();
        }
    }
    auto handle = std::make_unique<IconvHandle>(to, from);
    if (!handle->valid()) return nullptr;
    entries.push_back(Entry{to, from, std::move(handle)});
    return entries.back().handle.get();
}

bool isAscii(std::string_view bytes) {
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Every charset here but UTF-16 writes ASCII as ASCII.
bool keepsAscii(const char* name) { return std::strncmp(name, "UTF-16", 6) != 0; }

enum class OnError { Fail, Replace };

// Bytes to step over at a conversion error in UTF-8 input: a whole character when it is valid
// (it was merely unencodable), else the one bad byte.
std::size_t utf8SkipLength(const char* p, std::size_t left) {
    auto c = static_cast<unsigned char>(*p);
    std::size_t len = c < 0xC0 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    if (len > left || !isValidUtf8(std::string_view(p, len))) return 1;
    return len;
}

std::optional<std::string> convert(std::string_view input, const char* to, const char* from, OnError onError,
                                   std::string_view replacement, bool sourceIsUtf8) {
    if (keepsAscii(to) && keepsAscii(from) && isAscii(input)) return std::string(input);
    IconvHandle* descriptor = threadDescriptor(to, from);
    if (descriptor == nullptr) return std::nullopt;
    const IconvHandle& cd = *descriptor;

    std::string out;
    out.reserve(input.size() + input.size() / 2 + 16);
    char buffer[16384];
    auto* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();

    while (true) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof(buffer);
        // A null input flushes shift state at the end.
        std::size_t rc = inLeft > 0 ? iconv(cd.get(), &in, &inLeft, &outPtr, &outLeft)
                                    : iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft);
        int err = errno;
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc != static_cast<std::size_t>(-1)) {
            if (inLeft == 0) {
                // Flush once more so stateful encoders finish.
                outPtr = buffer;
                outLeft = sizeof(buffer);
                iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft);
                out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
                return out;
            }
            continue;
        }
        if (err == E2BIG) continue;
        if (err == EILSEQ || err == EINVAL) {
            if (onError == OnError::Fail) return std::nullopt;
            // A stateful encoder may still hold the character before the bad sequence (BIG5-HKSCS
            // waits for a combining mark after Ê): flushing writes it and resets the state.
            outPtr = buffer;
            outLeft = sizeof(buffer);
            iconv(cd.get(), nullptr, nullptr, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            out.append(replacement);
            std::size_t skip = sourceIsUtf8 ? utf8SkipLength(in, inLeft) : 1;
            if (skip > inLeft) skip = inLeft;
            in += skip;
            inLeft -= skip;
            if (inLeft == 0) return out;
            continue;
        }
        return onError == OnError::Fail ? std::nullopt : std::optional<std::string>(out);
    }
}

// Length of the start of `bytes` that is valid UTF-8; with bmpOnly, four-byte forms end it too.
std::size_t validUtf8Prefix(std::string_view bytes, bool bmpOnly) {
    const auto* begin = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto* p = begin;
    const auto* end = p + bytes.size();
    while (p < end) {
        unsigned char c = *p;
        if (c < 0x80) {
            ++p;
            continue;
        }
        std::size_t len;
        char32_t cp;
        if (c >= 0xC2 && c <= 0xDF) {
            len = 2;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            len = 3;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4 && !bmpOnly) {
            len = 4;
            cp = c & 0x07;
        } else {
            break;
        }
        if (static_cast<std::size_t>(end - p) < len) break;
        bool continuation = true;
        for (std::size_t i = 1; i < len && continuation; ++i) {
            continuation = (p[i] & 0xC0) == 0x80;
            cp = (cp << 6) | (p[i] & 0x3F);
        }
        if (!continuation || (len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            break;
        p += len;
    }
    return static_cast<std::size_t>(p - begin);
}

// GBK's byte structure as a GBK table keeps it: ASCII, or a lead byte 0x81..0xFE with a trail byte.
// A lone 0x80 (some converters' euro sign) or 0xFF is not GBK.
bool hasGbkStructure(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        auto c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) continue;
        if (c == 0x80 || c == 0xFF || i + 1 == bytes.size()) return false;
        ++i;
    }
    return true;
}

constexpr std::string_view kEuroSign = "\xE2\x82\xAC";
constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

// The bytes a stateful encoder still holds, appended to `out`; the descriptor is reset.
void flushState(iconv_t cd, std::string& out) {
    char buffer[64];
    char* outPtr = buffer;
    std::size_t outLeft = sizeof(buffer);
    iconv(cd, nullptr, nullptr, &outPtr, &outLeft);
    out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
}

// iconv over the whole input, stopping at the first character the target lacks (or invalid byte):
// the output so far is appended, the return value is how much of the input was converted. The
// encoder's state is flushed either way, so a character it held back (BIG5-HKSCS keeps Ê and ê
// until it sees whether a combining mark follows) is not lost.
std::size_t convertPrefix(std::string_view input, const char* to, std::string& out) {
    if (input.empty()) return 0;
    if (keepsAscii(to) && isAscii(input)) {
        out.append(input);
        return input.size();
    }
    IconvHandle* descriptor = threadDescriptor(to, "UTF-8");
    if (descriptor == nullptr) return 0;
    char buffer[16384];
    auto* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    while (true) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof(buffer);
        std::size_t rc = inLeft > 0 ? iconv(descriptor->get(), &in, &inLeft, &outPtr, &outLeft)
                                    : iconv(descriptor->get(), nullptr, nullptr, &outPtr, &outLeft);
        int err = errno;
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (rc != static_cast<std::size_t>(-1) && inLeft > 0) continue;
        if (rc == static_cast<std::size_t>(-1) && err == E2BIG) continue;
        flushState(descriptor->get(), out);
        return input.size() - inLeft;
    }
}

// The lossy UTF-8 reading: every byte that does not belong to a valid sequence (glibc's iconv
// would pass code points past U+10FFFF) becomes one U+FFFD.
std::string decodeUtf8Lossy(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    while (true) {
        const std::size_t valid = validUtf8Prefix(bytes, false);
        out.append(bytes.substr(0, valid));
        if (valid == bytes.size()) return out;
        out.append(kReplacementCharacter);
        bytes.remove_prefix(valid + 1);
    }
}

}  // namespace

const char* charsetName(Charset charset) {
    switch (charset) {
        case Charset::Utf8:
            return "UTF-8";
        case Charset::Gbk:
            return "GB18030";
        case Charset::Utf16Le:
            return "UTF-16LE";
        case Charset::Utf16Be:
            return "UTF-16BE";
        case Charset::Big5:
            return "BIG5";
        case Charset::Big5Hkscs:
            return "BIG5-HKSCS";
        case Charset::SiteGbk:
            return "GBK";
        case Charset::Utf8Bmp:
            return "UTF-8";
    }
    return "UTF-8";
}

std::optional<std::string> decode(std::string_view bytes, Charset from) {
    if (from == Charset::Utf8 || from == Charset::Utf8Bmp) {
        if (validUtf8Prefix(bytes, from == Charset::Utf8Bmp) != bytes.size()) return std::nullopt;
        return std::string(bytes);
    }
    if (from == Charset::SiteGbk && !hasGbkStructure(bytes)) return std::nullopt;
    return convert(bytes, "UTF-8", charsetName(from), OnError::Fail, {}, false);
}

std::optional<std::string> encode(std::string_view utf8, Charset to) {
    if (to == Charset::SiteGbk || to == Charset::Utf8Bmp) {
        std::string out;
        if (encodePrefix(utf8, to, out) != utf8.size()) return std::nullopt;
        return out;
    }
    if (to == Charset::Utf8) {
        if (!isValidUtf8(utf8)) return std::nullopt;
        return std::string(utf8);
    }
    return convert(utf8, charsetName(to), "UTF-8", OnError::Fail, {}, true);
}

std::string decodeLossy(std::string_view bytes, Charset from) {
    if (from == Charset::Utf8 || from == Charset::Utf8Bmp) return decodeUtf8Lossy(bytes);
    return convert(bytes, "UTF-8", charsetName(from), OnError::Replace, kReplacementCharacter, false)
        .value_or(std::string());
}

std::string encodeLossy(std::string_view utf8, Charset to) {
    if (to == Charset::Utf8) return decodeLossy(utf8, Charset::Utf8);
    if (to == Charset::SiteGbk || to == Charset::Utf8Bmp) {
        return encodeWith(utf8, to, [](char32_t) { return std::string("?"); });
    }
    std::string question = "?";
    if (to == Charset::Utf16Le) question = std::string("?\0", 2);
    if (to == Charset::Utf16Be) question = std::string("\0?", 2);
    return convert(utf8, charsetName(to), "UTF-8", OnError::Replace, question, true).value_or(std::string());
}

std::size_t encodePrefix(std::string_view utf8, Charset to, std::string& out) {
    switch (to) {
        case Charset::Utf8:
        case Charset::Utf8Bmp: {
            std::size_t valid = validUtf8Prefix(utf8, to == Charset::Utf8Bmp);
            out.append(utf8.substr(0, valid));
            return valid;
        }
        case Charset::SiteGbk: {
            const std::size_t euro = utf8.find(kEuroSign);
            return convertPrefix(utf8.substr(0, euro), charsetName(to), out);
        }
        default:
            return convertPrefix(utf8, charsetName(to), out);
    }
}

std::string encodeWith(std::string_view utf8, Charset to, const StandIn& standIn) {
    std::string out;
    out.reserve(utf8.size() + utf8.size() / 8 + 16);
    std::size_t pos = 0;
    while (true) {
        pos += encodePrefix(utf8.substr(pos), to, out);
        if (pos >= utf8.size()) return out;
        std::size_t length = 0;
        const char32_t missing = codePointAt(utf8, pos, &length);
        pos += length == 0 ? 1 : length;
        const std::string replacement = standIn(missing);
        std::string bytes;
        if (!replacement.empty() && encodePrefix(replacement, to, bytes) == replacement.size()) out += bytes;
    }
}

std::string characterReference(char32_t codePoint) {
    return "&#" + std::to_string(static_cast<std::uint32_t>(codePoint)) + ";";
}

bool isValidUtf8(std::string_view bytes) { return validUtf8Prefix(bytes, false) == bytes.size(); }

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";

// The UTF-16 byte order of an operator's file: by its mark, or, without one, by where its NUL
// bytes sit (the high halves of the ASCII characters). The mark is removed from `bytes`.
std::optional<Charset> utf16Order(std::string_view& bytes) {
    if (bytes.starts_with(kUtf16LeMark)) {
        bytes.remove_prefix(kUtf16LeMark.size());
        return Charset::Utf16Le;
    }
    if (bytes.starts_with(kUtf16BeMark)) {
        bytes.remove_prefix(kUtf16BeMark.size());
        return Charset::Utf16Be;
    }
    if (bytes.size() % 2 != 0 || bytes.find('\0') == std::string_view::npos) return std::nullopt;
    bool even = false;
    bool odd = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\0') (i % 2 == 0 ? even : odd) = true;
    }
    if (even == odd) return std::nullopt;
    return odd ? Charset::Utf16Le : Charset::Utf16Be;
}

}  // namespace

std::optional<std::string> operatorFileText(std::string_view bytes) {
    std::optional<std::string> text;
    if (const std::optional<Charset> order = utf16Order(bytes)) {
        text = decode(bytes, *order);
    } else {
        if (bytes.starts_with(kUtf8Mark)) bytes.remove_prefix(kUtf8Mark.size());
        text = isValidUtf8(bytes) ? std::optional<std::string>(bytes) : decode(bytes, Charset::Gbk);
    }
    if (text && text->find('\0') != std::string::npos) return std::nullopt;
    return text;
}

std::string utf8OrGbkText(std::string_view bytes) {
    if (std::optional<std::string> text = operatorFileText(bytes)) return std::move(*text);
    if (const std::optional<Charset> order = utf16Order(bytes)) return decodeLossy(bytes, *order);
    if (bytes.starts_with(kUtf8Mark)) bytes.remove_prefix(kUtf8Mark.size());
    if (isValidUtf8(bytes)) return std::string(bytes);
    return gbkToUtf8(bytes);
}

}  // namespace oz::text
