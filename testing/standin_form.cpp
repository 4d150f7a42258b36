#include "standin_form.h"

#include <algorithm>
#include <cctype>
#include <limits>

namespace oz::testing {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string_view trimSpaces(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text;
}

// Most values are ASCII or valid UTF-8 already; they skip the converter.
std::string toUtf8(std::string bytes, oz::text::Charset charset) {
    if (charset == oz::text::Charset::Utf8 && oz::text::isValidUtf8(bytes)) return bytes;
    const bool ascii = std::all_of(bytes.begin(), bytes.end(), [](char c) { return (c & 0x80) == 0; });
    return ascii ? bytes : oz::text::decodeLossy(bytes, charset);
}

}  // namespace

std::string percentDecode(std::string_view encoded) {
    std::string bytes;
    bytes.reserve(encoded.size());
    for (std::size_t i = 0; i < encoded.size(); ++i) {
        const char c = encoded[i];
        if (c == '+') {
            bytes += ' ';
        } else if (c == '%' && i + 2 < encoded.size() && hexValue(encoded[i + 1]) >= 0 &&
                   hexValue(encoded[i + 2]) >= 0) {
            bytes += static_cast<char>(hexValue(encoded[i + 1]) * 16 + hexValue(encoded[i + 2]));
            i += 2;
        } else {
            bytes += c;
        }
    }
    return bytes;
}

std::string phpUrlEncode(std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '_' || c == '.') {
            out += c;
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    return out;
}

int leadingInt(std::string_view text) {
    text = trimSpaces(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<int>::max())
            return negative ? std::numeric_limits<int>::min() : std::numeric_limits<int>::max();
    }
    return static_cast<int>(negative ? -value : value);
}

void FormFields::append(const FormFields& other) {
    m_fields.insert(m_fields.end(), other.m_fields.begin(), other.m_fields.end());
}

void FormFields::parse(std::string_view encoded, oz::text::Charset charset) {
    while (!encoded.empty()) {
        const std::size_t amp = encoded.find('&');
        const std::string_view piece = encoded.substr(0, amp);
        encoded = amp == std::string_view::npos ? std::string_view{} : encoded.substr(amp + 1);
        if (piece.empty()) continue;
        const std::size_t eq = piece.find('=');
        const std::string_view name = piece.substr(0, eq);
        const std::string_view value =
            eq == std::string_view::npos ? std::string_view{} : piece.substr(eq + 1);
        if (name.empty()) continue;
        m_fields.emplace_back(toUtf8(percentDecode(name), charset), toUtf8(percentDecode(value), charset));
    }
}

std::string FormFields::get(std::string_view name) const {
    for (const auto& [fieldName, value] : m_fields) {
        if (fieldName == name) return value;
    }
    return {};
}

bool FormFields::has(std::string_view name) const {
    for (const auto& field : m_fields) {
        if (field.first == name) return true;
    }
    return false;
}

int FormFields::getInt(std::string_view name) const { return leadingInt(get(name)); }

std::string cookieValue(std::string_view cookieHeader, std::string_view name) {
    while (!cookieHeader.empty()) {
        const std::size_t semicolon = cookieHeader.find(';');
        const std::string_view pair = trimSpaces(cookieHeader.substr(0, semicolon));
        cookieHeader =
            semicolon == std::string_view::npos ? std::string_view{} : cookieHeader.substr(semicolon + 1);
        const std::size_t eq = pair.find('=');
        if (eq != std::string_view::npos && pair.substr(0, eq) == name)
            return std::string(pair.substr(eq + 1));
    }
    return {};
}

}  // namespace oz::testing
