// Markers, lists and characters (text/markers.h, text/characters.h): the helpers that read the back
// end's answers. Input: a flags byte, then text NUL first NUL second (see fuzz_support.h).
// Checks: textBetween returns a piece of the text and, when it finds something, moves its position
// forward (callers loop until it returns empty); elementContent is a piece of the text; splitList
// and splitLines give the text back; replaceAll replaces every occurrence; the case-insensitive
// searches equal a plain scan; the character operations cut at character boundaries and agree
// with each other; withoutControlCharacters leaves none; the login record's charset replacement
// leaves no UTF-8 declaration.

#include "fuzz_support.h"
#include "text/characters.h"
#include "text/markers.h"

namespace {

namespace text = oz::text;

constexpr std::size_t kScanLimit = 4096;  // inputs up to this size are also checked by plain scans

bool isPieceOf(std::string_view piece, std::string_view whole) {
    return piece.empty() || whole.find(piece) != std::string_view::npos;
}

void checkTextBetween(std::string_view subject, std::string_view start, std::string_view end, bool nearest) {
    text::MarkerPosition position;
    for (int call = 0; call < 64 && !position.exhausted; ++call) {
        const std::size_t before = position.offset;
        const std::string found = text::textBetween(subject, start, end, position, nearest);
        OZ_FUZZ_CHECK(isPieceOf(found, subject));
        OZ_FUZZ_CHECK(position.offset <= subject.size());
        if (found.empty()) break;
        // Forward mode never finds the same piece twice; the nearest-before-end mode is used for
        // one search only (its start marker may lie before the position).
        if (nearest) break;
        OZ_FUZZ_CHECK(position.offset > before);
    }
}

void checkLists(std::string_view subject, std::string_view separator) {
    if (!separator.empty()) {
        std::string joined;
        const auto pieces = text::splitList(subject, separator);
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (i > 0) joined += separator;
            joined += pieces[i];
        }
        OZ_FUZZ_CHECK_EQ(joined, subject);
    }
    std::size_t lineFeeds = 0;
    for (char c : subject) lineFeeds += c == '\n' ? 1 : 0;
    const auto lines = text::splitLines(subject);
    const bool openLast = !subject.empty() && subject.back() != '\n';
    OZ_FUZZ_CHECK_EQ(lines.size(), lineFeeds + (openLast ? 1 : 0));
    for (std::string_view line : lines) OZ_FUZZ_CHECK(line.find('\n') == std::string_view::npos);
}

void checkReplacing(std::string_view subject, std::string_view find, std::string_view replacement) {
    if (find.empty()) {
        OZ_FUZZ_CHECK_EQ(text::replaceAll(subject, find, replacement), subject);
        return;
    }
    for (const bool caseSensitive : {true, false}) {
        std::size_t count = 0;
        for (std::size_t at = 0;
             (at = caseSensitive ? subject.find(find, at) : text::findNoCase(subject, find, at)) !=
             std::string_view::npos;
             at += find.size()) {
            ++count;
        }
        const std::string replaced = text::replaceAll(subject, find, replacement, caseSensitive);
        OZ_FUZZ_CHECK_EQ(replaced.size(), subject.size() - count * find.size() + count * replacement.size());
        OZ_FUZZ_CHECK_EQ(text::replaceAll(subject, find, find, caseSensitive).size(), subject.size());
    }
    const std::string quoted = text::quotePairsToDoubleQuote(subject);
    OZ_FUZZ_CHECK(quoted.find("''") == std::string::npos);
}

void checkSearches(std::string_view subject, std::string_view needle) {
    if (subject.size() > kScanLimit || needle.empty()) return;
    std::size_t first = std::string_view::npos;
    std::size_t last = std::string_view::npos;
    for (std::size_t i = 0; i + needle.size() <= subject.size(); ++i) {
        if (text::equalsNoCase(subject.substr(i, needle.size()), needle)) {
            if (first == std::string_view::npos) first = i;
            last = i;
        }
    }
    OZ_FUZZ_CHECK_EQ(text::findNoCase(subject, needle), first);
    OZ_FUZZ_CHECK_EQ(text::rfindNoCase(subject, needle), last);
}

void checkCharacters(std::string_view subject) {
    const std::vector<std::size_t> starts = text::charStarts(subject);
    const int count = text::countChars(subject);
    OZ_FUZZ_CHECK_EQ(static_cast<std::size_t>(count), starts.size());
    if (subject.size() <= kScanLimit) {
        for (int k = 0; k <= count; k += 1 + count / 16) {
            OZ_FUZZ_CHECK_EQ(text::leftChars(subject, k) + text::rightChars(subject, count - k),
                             std::string(subject));
            const std::size_t offset = text::byteOffsetOfChar(subject, k + 1);
            OZ_FUZZ_CHECK_EQ(offset, k < count ? starts[static_cast<std::size_t>(k)] : subject.size());
            const std::size_t afterTwo = text::byteOffsetOfChar(subject, std::min(k + 3, count + 1));
            OZ_FUZZ_CHECK_EQ(text::midChars(subject, k + 1, 2),
                             std::string(subject.substr(offset, afterTwo - offset)));
        }
    }
    const std::string oneLine = text::withoutControlCharacters(subject);
    for (std::size_t at = 0, length = 0; at < oneLine.size(); at += length) {
        const char32_t codePoint = text::codePointAt(oneLine, at, &length);
        OZ_FUZZ_CHECK(!text::isControlCharacter(codePoint));
    }
    OZ_FUZZ_CHECK_EQ(text::withoutControlCharacters(oneLine), oneLine);
    const std::string trimmed = text::trimBlanks(subject);
    OZ_FUZZ_CHECK_EQ(text::trimBlanks(trimmed), trimmed);
    OZ_FUZZ_CHECK(isPieceOf(trimmed, subject));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::uint8_t flags = data[0];
    const auto parts = oz::fuzz::fields(oz::fuzz::asText(data + 1, size - 1), 3);
    const std::string_view subject = parts[0];
    const std::string_view first = parts[1];
    const std::string_view second = parts[2];

    checkTextBetween(subject, first, second, (flags & 1) != 0);
    OZ_FUZZ_CHECK(isPieceOf(text::elementContent(subject, first), subject));
    checkLists(subject, first);
    checkReplacing(subject, first, second);
    checkSearches(subject, first);
    checkCharacters(subject);

    // No crash and a bounded answer is all these promise.
    const bool any = text::containsAlternatives(subject, first, true);
    const bool all = text::containsAlternatives(subject, first, false);
    OZ_FUZZ_CHECK(!all || any);
    (void)text::containsAllPieces(subject, first);
    (void)text::inRanges(first, second);
    // The find and replacement lists are the program's own (each item runs over the result of the
    // one before, so lists from outside could grow the text without bound); the text is not.
    const std::string page = text::replaceEach(subject, "charset=\"UTF-8\"|charset=UTF-8", "charset=\"gbk\"",
                                               (flags & 2) != 0, /*reuseFirst=*/true);
    OZ_FUZZ_CHECK(text::findNoCase(page, "charset=utf-8") == std::string::npos || (flags & 2) != 0);
    return 0;
}
