#pragma once

// What the fuzz targets share. Each target (one *_fuzz.cpp per parser) defines
// LLVMFuzzerTestOneInput and checks what the headers promise; a broken promise prints the check,
// the values and the input being replayed, then aborts, which libFuzzer reports as a crash and
// the replay driver as a failed test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace oz::fuzz {

// The file the replay driver is feeding, for the failure message; null under libFuzzer.
inline const char* currentInput = nullptr;

inline std::string_view asText(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The bytes in a printable form: printable ASCII as it is, every other byte as \xNN; cut after
// `limit` bytes.
inline std::string printable(std::string_view bytes, std::size_t limit = 300) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (std::size_t i = 0; i < bytes.size() && i < limit; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    if (bytes.size() > limit) out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

[[noreturn]] inline void fail(const char* file, int line, const char* check, const std::string& detail) {
    std::fprintf(stderr, "%s:%d: broken promise: %s\n", file, line, check);
    if (!detail.empty()) std::fprintf(stderr, "%s\n", detail.c_str());
    if (currentInput != nullptr) std::fprintf(stderr, "input: %s\n", currentInput);
    std::fflush(stderr);
    std::abort();
}

inline std::string describe(std::string_view value) { return "\"" + printable(value) + "\""; }
inline std::string describe(const std::string& value) { return describe(std::string_view(value)); }
inline std::string describe(const char* value) { return describe(std::string_view(value)); }
inline std::string describe(bool value) { return value ? "true" : "false"; }
template <typename T>
std::string describe(const T& value) {
    if constexpr (requires { std::to_string(value); }) {
        return std::to_string(value);
    } else {
        return "(value)";
    }
}

// The separator of the fields of a structured input: a NUL byte.
inline constexpr char kFieldSeparator = '\0';

// The input cut at NUL bytes into at most `count` fields; the last field takes the rest (NUL bytes
// included), missing fields are empty.
inline std::vector<std::string_view> fields(std::string_view input, std::size_t count) {
    std::vector<std::string_view> result;
    while (result.size() + 1 < count) {
        const std::size_t at = input.find(kFieldSeparator);
        if (at == std::string_view::npos) break;
        result.push_back(input.substr(0, at));
        input.remove_prefix(at + 1);
    }
    result.push_back(input);
    result.resize(count);
    return result;
}

}  // namespace oz::fuzz

#define OZ_FUZZ_CHECK(condition)                                                \
    do {                                                                        \
        if (!(condition)) ::oz::fuzz::fail(__FILE__, __LINE__, #condition, ""); \
    } while (false)

#define OZ_FUZZ_CHECK_EQ(actual, expected)                                             \
    do {                                                                               \
        const auto& ozActual = (actual);                                               \
        const auto& ozExpected = (expected);                                           \
        if (!(ozActual == ozExpected)) {                                               \
            ::oz::fuzz::fail(__FILE__, __LINE__, #actual " == " #expected,             \
                             "  actual:   " + ::oz::fuzz::describe(ozActual) +         \
                                 "\n  expected: " + ::oz::fuzz::describe(ozExpected)); \
        }                                                                              \
    } while (false)
