#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Character rules for the UTF-8 text inside the program. A character is one Unicode code point,
// except that a CR directly followed by LF is one character; a byte that does not start a valid
// UTF-8 sequence counts as a character of its own, so cutting never splits a sequence or a CR LF.
// Character positions are 1-based; kNotFound marks a search that found nothing.
namespace oz::text {

inline constexpr int kNotFound = -1;

// Byte length of the character that starts at byte `offset` (2 for CR LF); 0 at or past the end.
std::size_t charLength(std::string_view text, std::size_t offset);
// Byte offset of the character after the one at `offset` (text.size() at the end).
inline std::size_t nextChar(std::string_view text, std::size_t offset) {
    return offset + charLength(text, offset);
}
// The code point at `offset` (U+FFFD for an invalid byte); CR LF decodes as CR. `length` gets the
// byte length of the sequence read.
char32_t codePointAt(std::string_view text, std::size_t offset, std::size_t* length = nullptr);
// Appends the UTF-8 form of `codePoint` (U+FFFD for surrogates and values past U+10FFFF).
void appendCodePoint(std::string& out, char32_t codePoint);
std::string fromCodePoint(char32_t codePoint);

// Byte offsets at which each character starts, in order.
std::vector<std::size_t> charStarts(std::string_view text);
// Byte offset of character `position` (1-based); text.size() when it lies just past the end,
// std::string_view::npos when further or below 1.
std::size_t byteOffsetOfChar(std::string_view text, int position);
// 1-based character position of the character that holds byte `offset`.
int charPositionOfByte(std::string_view text, std::size_t offset);

int countChars(std::string_view text);
// n characters from character `start` on (fewer when the text ends); empty when start lies beyond
// the end or n <= 0; start < 1 counts as 1.
std::string midChars(std::string_view text, int start, int n);
// The first n characters; a negative n keeps all but the last -n characters.
std::string leftChars(std::string_view text, int n);
// The last n characters; a negative n drops the first -n characters.
std::string rightChars(std::string_view text, int n);

// Position of the first occurrence of `needle` at or after character `start` (ASCII letters
// compared case-insensitively); a negative start counts from the end (-1 is the last character),
// 0 counts as 1. kNotFound when absent or when the needle is empty.
int findForward(std::string_view text, std::string_view needle, int start = 1);
// Position of the last occurrence of `needle` that begins at or before character `start`
// (case-insensitive as above); start <= 0 counts from the end (-1, the default: anywhere).
int findBackward(std::string_view text, std::string_view needle, int start = -1);

// Byte-offset searches ignoring ASCII letter case; std::string_view::npos when absent.
// findNoCase finds the first occurrence at or after `from`; rfindNoCase the last one that begins
// at or before `before`.
std::size_t findNoCase(std::string_view text, std::string_view needle, std::size_t from = 0);
std::size_t rfindNoCase(std::string_view text, std::string_view needle,
                        std::size_t before = std::string_view::npos);
bool equalsNoCase(std::string_view a, std::string_view b);
std::string toLowerAscii(std::string_view text);

// `ranges` is ";"-separated: "a,b" accepts a <= number <= b, a single entry accepts the equal
// text. inRanges("97", "97,122;32") is true.
bool inRanges(std::string_view number, std::string_view ranges);

// Removes leading and trailing ASCII spaces and full-width spaces (U+3000); tabs and line
// breaks stay.
std::string trimBlanks(std::string_view text);

// The control characters: C0 (U+0000 to U+001F), DEL (U+007F) and C1 (U+0080 to U+009F).
bool isControlCharacter(char32_t codePoint);
// The text as one line without control characters, for titles and log lines: TAB, LF, VT, FF and
// CR (a CR LF pair as one) each become a space, every other control character is removed, and a
// byte that is not valid UTF-8 becomes U+FFFD (so no control character can form of the bytes
// around a removed one).
std::string withoutControlCharacters(std::string_view text);

}  // namespace oz::text
