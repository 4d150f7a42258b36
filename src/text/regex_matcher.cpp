#include "text/regex_matcher.h"

#include <chrono>
#include <functional>

#include "text/characters.h"
#include "text/charset.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

namespace oz::text {
namespace {

using Clock = std::chrono::steady_clock;

// Caps backtracking inside one match attempt; the clock budget caps the attempts together.
constexpr uint32_t kMatchLimit = 5'000'000;
constexpr uint32_t kHeapLimitKiB = 64 * 1024;
// The budget is checked on every attempt, the clock read every this many attempts.
constexpr unsigned kAttemptsPerClockCheck = 4;

struct Budget {
    Clock::time_point deadline;
    unsigned attempts = 0;
};

int checkBudget(pcre2_callout_block*, void* data) {
    auto* budget = static_cast<Budget*>(data);
    if (++budget->attempts % kAttemptsPerClockCheck == 0 && Clock::now() > budget->deadline) {
        return PCRE2_ERROR_CALLOUT;
    }
    return 0;
}

// PCRE2 checks UTF-8 on every call unless told not to, which makes a run over a long text
// quadratic; so the text is checked once here. Bytes that are not UTF-8 become a control
// character in a copy of the same length, so offsets stay those of the original.
std::string_view checkedSubject(std::string_view text, std::string& copy) {
    if (isValidUtf8(text)) return text;
    copy.assign(text);
    for (std::size_t at = 0; at < copy.size();) {
        std::size_t length = 0;
        codePointAt(copy, at, &length);
        if (length == 1 && static_cast<unsigned char>(copy[at]) >= 0x80) copy[at] = '\x1A';
        at += length;
    }
    return copy;
}

std::string errorText(int code) {
    PCRE2_UCHAR buffer[256];
    if (pcre2_get_error_message(code, buffer, sizeof buffer) < 0) return "error " + std::to_string(code);
    return reinterpret_cast<const char*>(buffer);
}

pcre2_code* compile(std::string_view pattern, uint32_t options, pcre2_compile_context* context, int* error,
                    PCRE2_SIZE* errorOffset) {
    return pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), options, error,
                         errorOffset, context);
}

}  // namespace

struct RegexMatcher::Impl {
    pcre2_code* code = nullptr;
    RegexOptions options;
    std::string error;
    uint32_t groups = 0;

    ~Impl() { pcre2_code_free(code); }

    // Calls `onMatch` with the match's offset vector for each match in order; stops at the end,
    // after the first match without `global`, or when a limit is reached.
    void forEachMatch(std::string_view text, bool global,
                      const std::function<void(const PCRE2_SIZE*, int)>& onMatch) const;
};

RegexMatcher::RegexMatcher(std::string_view pattern, RegexOptions options)
    : m_impl(std::make_unique<Impl>()) {
    m_impl->options = options;
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    pcre2_set_newline(context, PCRE2_NEWLINE_ANYCRLF);
    pcre2_set_compile_extra_options(context, PCRE2_EXTRA_ALT_BSUX);
    uint32_t flags = PCRE2_UTF | PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS;
    if (options.ignoreCase) flags |= PCRE2_CASELESS;
    flags |= options.multiline ? PCRE2_MULTILINE : PCRE2_DOLLAR_ENDONLY;

    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    pcre2_code* plain = compile(pattern, flags, context, &error, &errorOffset);
    if (!plain) {
        m_impl->error = errorText(error) + " at offset " + std::to_string(errorOffset);
    } else {
        // The same pattern with a callout in front of every attempt, where the time budget is
        // checked. Patterns that cannot be wrapped (a trailing comment, leading verbs) keep no
        // clock budget but still their backtracking limit.
        const std::string wrapped = "(?C1)(?:" + std::string(pattern) + ")";
        pcre2_code* timed = compile(wrapped, flags, context, &error, &errorOffset);
        uint32_t plainGroups = 0, timedGroups = 0;
        pcre2_pattern_info(plain, PCRE2_INFO_CAPTURECOUNT, &plainGroups);
        if (timed) pcre2_pattern_info(timed, PCRE2_INFO_CAPTURECOUNT, &timedGroups);
        if (timed && timedGroups == plainGroups) {
            pcre2_code_free(plain);
            m_impl->code = timed;
        } else {
            pcre2_code_free(timed);
            m_impl->code = plain;
        }
        m_impl->groups = plainGroups;
    }
    pcre2_compile_context_free(context);
}

RegexMatcher::~RegexMatcher() = default;
RegexMatcher::RegexMatcher(RegexMatcher&&) noexcept = default;
RegexMatcher& RegexMatcher::operator=(RegexMatcher&&) noexcept = default;

// A moved-from matcher behaves like one whose pattern did not compile.
bool RegexMatcher::valid() const { return m_impl && m_impl->code != nullptr; }

const std::string& RegexMatcher::error() const {
    static const std::string kMovedFrom = "moved from";
    return m_impl ? m_impl->error : kMovedFrom;
}

void RegexMatcher::Impl::forEachMatch(std::string_view text, bool global,
                                      const std::function<void(const PCRE2_SIZE*, int)>& onMatch) const {
    if (!code) return;
    pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
    pcre2_match_context* context = pcre2_match_context_create(nullptr);
    Budget budget{Clock::now() + std::chrono::milliseconds(options.timeLimitMs)};
    pcre2_set_match_limit(context, kMatchLimit);
    pcre2_set_heap_limit(context, kHeapLimitKiB);
    pcre2_set_callout(context, checkBudget, &budget);

    std::string copy;
    text = checkedSubject(text, copy);
    const auto subject = reinterpret_cast<PCRE2_SPTR>(text.data());
    PCRE2_SIZE start = 0;
    uint32_t flags = 0;
    while (start <= text.size()) {
        const int rc =
            pcre2_match(code, subject, text.size(), start, flags | PCRE2_NO_UTF_CHECK, data, context);
        if (rc == PCRE2_ERROR_NOMATCH && flags != 0) {
            // No non-empty match where the last empty one was: step one character on.
            flags = 0;
            ++start;
            if (start > 0 && text[start - 1] == '\r' && start < text.size() && text[start] == '\n') ++start;
            while (start < text.size() && (static_cast<unsigned char>(text[start]) & 0xC0) == 0x80) ++start;
            continue;
        }
        if (rc < 0) break;  // no further match, a limit, or the clock budget
        const PCRE2_SIZE* vector = pcre2_get_ovector_pointer(data);
        if (vector[0] > vector[1]) break;  // \K in a lookahead; nothing sensible to report
        onMatch(vector, rc);
        if (!global) break;
        start = vector[1];
        flags = vector[0] == vector[1] ? (PCRE2_NOTEMPTY_ATSTART | PCRE2_ANCHORED) : 0;
    }
    pcre2_match_context_free(context);
    pcre2_match_data_free(data);
}

bool RegexMatcher::test(std::string_view text) const {
    if (!valid()) return false;
    bool found = false;
    m_impl->forEachMatch(text, false, [&](const PCRE2_SIZE*, int) { found = true; });
    return found;
}

std::string RegexMatcher::replace(std::string_view text, std::string_view replacement) const {
    if (!valid()) return std::string(text);
    std::string out;
    std::size_t copied = 0;
    const auto groups = m_impl->groups;
    m_impl->forEachMatch(text, m_impl->options.global, [&](const PCRE2_SIZE* vector, int count) {
        const auto group = [&](std::size_t n) -> std::string_view {
            if (static_cast<int>(n) >= count || vector[2 * n] == PCRE2_UNSET) return {};
            return text.substr(vector[2 * n], vector[2 * n + 1] - vector[2 * n]);
        };
        out.append(text, copied, vector[0] - copied);
        copied = vector[1];
        for (std::size_t i = 0; i < replacement.size(); ++i) {
            const char c = replacement[i];
            const char after = i + 1 < replacement.size() ? replacement[i + 1] : '\0';
            const auto isDigit = [](char d) { return d >= '0' && d <= '9'; };
            if (c != '$' || after == '\0') {
                out += c;
            } else if (after == '$') {
                out += '$', ++i;
            } else if (after == '&') {
                out += group(0), ++i;
            } else if (after == '`') {
                out.append(text, 0, vector[0]), ++i;
            } else if (after == '\'') {
                out.append(text.substr(vector[1])), ++i;
            } else if (isDigit(after)) {
                // Two digits when they name a group, else one; "$n" of a group that does not
                // exist stays as written.
                const char third = i + 2 < replacement.size() ? replacement[i + 2] : '\0';
                const std::size_t two = isDigit(third) ? std::size_t((after - '0') * 10 + (third - '0')) : 0;
                const std::size_t one = std::size_t(after - '0');
                if (two >= 1 && two <= groups) {
                    out += group(two), i += 2;
                } else if (one >= 1 && one <= groups) {
                    out += group(one), ++i;
                } else {
                    out += c;
                }
            } else {
                out += c;
            }
        }
    });
    if (copied == 0 && out.empty()) return std::string(text);
    out.append(text.substr(copied));
    return out;
}

std::vector<RegexMatch> RegexMatcher::matches(std::string_view text) const {
    std::vector<RegexMatch> found;
    if (!valid()) return found;
    const auto groups = m_impl->groups;
    m_impl->forEachMatch(text, m_impl->options.global, [&](const PCRE2_SIZE* vector, int count) {
        RegexMatch match{std::string(text.substr(vector[0], vector[1] - vector[0])), vector[0], {}};
        match.subMatches.resize(groups);
        for (uint32_t n = 1; n <= groups && static_cast<int>(n) < count; ++n) {
            if (vector[2 * n] != PCRE2_UNSET) {
                match.subMatches[n - 1] = text.substr(vector[2 * n], vector[2 * n + 1] - vector[2 * n]);
            }
        }
        found.push_back(std::move(match));
    });
    return found;
}

std::string wildcardToRegex(std::string_view filter) {
    constexpr std::string_view kEscaped = "\\^$+.{}[]=()-\"";
    std::string out;
    out.reserve(filter.size() * 2);
    for (const char c : filter) {
        if (kEscaped.find(c) != std::string_view::npos) {
            out += '\\';
            out += c;
        } else if (c == '*') {
            out += ".*";
        } else if (c == '?') {
            out += ".?";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace oz::text
