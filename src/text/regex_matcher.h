#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace oz::text {

// Options of a pattern; each is on unless the caller turns it off.
struct RegexOptions {
    bool ignoreCase = true;
    bool multiline = true;  // "^" and "$" match at line breaks
    bool global = true;     // every match, not only the first
    // Budget of one test/replace/matches call; past it the call ends as if no further match
    // existed.
    int timeLimitMs = 10000;
};

struct RegexMatch {
    std::string value;
    std::size_t offset = 0;               // byte offset of the match in the text
    std::vector<std::string> subMatches;  // groups 1..n; empty text for a group that took no part
};

// A compiled ECMAScript-style regular expression over UTF-8 text: \d \w \s are ASCII classes,
// \uXXXX escapes, lazy quantifiers, "." stops at CR and LF. Matching is bounded, so a
// catastrophic pattern or a huge text ends with "no (further) match" instead of hanging.
// A pattern that does not compile never matches: test() is false, replace() returns the text
// unchanged, matches() is empty; error() says why. Const operations may run on many threads.
class RegexMatcher {
   public:
    explicit RegexMatcher(std::string_view pattern, RegexOptions options = {});
    ~RegexMatcher();
    RegexMatcher(RegexMatcher&&) noexcept;
    RegexMatcher& operator=(RegexMatcher&&) noexcept;

    bool valid() const;
    const std::string& error() const;

    // True when the pattern matches anywhere in the text.
    bool test(std::string_view text) const;
    // Replaces every match (the first only without `global`). The replacement understands
    // $1..$99, $& (the match), $` and $' (before, after) and $$.
    std::string replace(std::string_view text, std::string_view replacement) const;
    // The matches (at most one without `global`).
    std::vector<RegexMatch> matches(std::string_view text) const;

   private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Turns a file filter such as "*.htm|*.txt" into a pattern: the metacharacters \^$+.{}[]=()- and
// the double quote are escaped, "*" becomes ".*", "?" becomes ".?", "|" keeps separating
// alternatives. "a+b*.txt" gives "a\+b.*\.txt". Use it unanchored.
std::string wildcardToRegex(std::string_view filter);

}  // namespace oz::text
