// Cleaning (text/cleaning.h): the steps that turn an article into plain text for the summary and
// the word segmenter. Input: the text. Checks: valid UTF-8 in gives valid UTF-8 out; the one-pass
// tag removals leave no tag and equal the regular expression they replace; removeWhitespace leaves
// no white space and its limited form is the start of the whole; keepWordChars keeps only word
// characters; a text without "&" has no entities to decode.

#include "fuzz_support.h"
#include "text/charset.h"
#include "text/cleaning.h"
#include "text/regex_matcher.h"

namespace {

namespace text = oz::text;

constexpr std::size_t kRegexLimit = 2048;  // the reference pattern is quadratic: short inputs only

bool isWhiteSpace(std::string_view text, std::size_t at) {
    const char c = text[at];
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' ||
           text.substr(at).starts_with("\u3000");
}

// No "<" before a ">" is left: every span from a "<" to the next ">" is gone.
bool holdsNoTagSpan(std::string_view text) {
    const std::size_t open = text.find('<');
    return open == std::string_view::npos || text.find('>', open + 1) == std::string_view::npos;
}

void checkTagRemoval(std::string_view subject, bool validUtf8) {
    const std::string spans = text::removeTagSpans(subject);
    const std::size_t open = spans.find('<');
    OZ_FUZZ_CHECK(open == std::string::npos || spans.find('>', open + 2) == std::string::npos);
    if (validUtf8 && subject.size() <= kRegexLimit) {
        static const text::RegexMatcher kTag(R"(<[\s\S]+?>)");
        OZ_FUZZ_CHECK_EQ(spans, kTag.replace(subject, ""));
    }
    OZ_FUZZ_CHECK(holdsNoTagSpan(text::scanStripTags(subject)));
}

void checkWhitespace(std::string_view subject, bool validUtf8) {
    const std::string all = text::removeWhitespace(subject);
    // (Broken UTF-8 can make a full-width space of the bytes around a removed one.)
    for (std::size_t at = 0; validUtf8 && at < all.size(); ++at) OZ_FUZZ_CHECK(!isWhiteSpace(all, at));
    const std::size_t limit = subject.size() / 3;
    const std::string some = text::removeWhitespace(subject, limit);
    OZ_FUZZ_CHECK(all.starts_with(some));
    OZ_FUZZ_CHECK(some.size() >= std::min(limit, all.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view subject = oz::fuzz::asText(data, size);
    const bool validUtf8 = text::isValidUtf8(subject);

    const std::string stripped = text::stripTags(subject);
    const std::string decoded = text::decodeEntities(subject);
    const std::string withoutUrls = text::removeUrls(subject);
    const std::string withoutEntities = text::stripEntities(subject);
    OZ_FUZZ_CHECK(withoutUrls.size() <= subject.size());
    OZ_FUZZ_CHECK(withoutEntities.size() <= subject.size());
    if (validUtf8) {
        OZ_FUZZ_CHECK(text::isValidUtf8(stripped));
        OZ_FUZZ_CHECK(text::isValidUtf8(decoded));
        OZ_FUZZ_CHECK(text::isValidUtf8(withoutUrls));
        OZ_FUZZ_CHECK(text::isValidUtf8(withoutEntities));
        OZ_FUZZ_CHECK(text::isValidUtf8(text::removeWhitespace(subject)));
    }
    if (subject.find('&') == std::string_view::npos) {
        OZ_FUZZ_CHECK_EQ(decoded, subject);
        OZ_FUZZ_CHECK_EQ(withoutEntities, subject);
    }

    checkTagRemoval(subject, validUtf8);
    checkWhitespace(subject, validUtf8);
    for (const char c : text::keepWordChars(subject)) {
        OZ_FUZZ_CHECK((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '_' || c == '-' || c == ',' || c == '.');
    }
    return 0;
}
