#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tools/generator_control.h"

// Random groups of Chinese characters, or of digits and letters, for word lists. Every draw comes
// from the calling thread's generator (text::randomInt), seeded once from std::random_device and
// the clock; it is never reseeded per group, so groups made within one clock tick still differ.
namespace oz::tools {

// "最常用" (498 characters), "一般常用" (the 2,500 common characters of the 1988 list) and
// "次要常用" (its 1,000 secondary ones).
enum class CharacterTable { MostUsed, Common, Secondary };

// The characters of a table, in its order, each as UTF-8 text.
const std::vector<std::string_view>& tableCharacters(CharacterTable table);

inline constexpr int kDefaultGroupLength = 8;
// Upper bound of groups × characters per group of one call.
inline constexpr long long kMaxGeneratedCharacters = 10'000'000;

// A group's length: randomInt(minLength, maxLength) (a negative bound counts as 0, reversed bounds
// are swapped), and kDefaultGroupLength when that is 0.
int drawGroupLength(int minLength, int maxLength);

struct ChineseTextOptions {
    CharacterTable table = CharacterTable::MostUsed;
    int minLength = 3;
    int maxLength = 5;
    long long groups = 100;
    bool traditional = false;  // each group converted to traditional characters
};

struct LetterTextOptions {
    bool digits = false;  // "有数字"
    bool lower = false;   // "有小字母"
    bool upper = false;   // "有大字母"; with no box checked every character is an upper-case letter
    bool fullWidth = false;
    int minLength = 3;
    int maxLength = 5;
    long long groups = 100;
};

struct GeneratedText {
    std::string text;  // the groups, one per line ("\n" between them)
    long long groups = 0;
    bool stopped = false;  // the stop request ended it early; text holds the groups made so far
    std::string error;     // not empty: nothing was generated, and this says why
};

GeneratedText generateChinese(const ChineseTextOptions& options, const GeneratorControl& control = {});
GeneratedText generateLetters(const LetterTextOptions& options, const GeneratorControl& control = {});

enum class LetterKind { Digit, Lower, Upper };

// The kind of one character for the checked boxes: a single box (or none: upper case) decides
// alone; two or three boxes are drawn from with equal chance.
LetterKind drawLetterKind(bool digits, bool lower, bool upper);

// Printable ASCII to its full-width form ("!".."~" to U+FF01..U+FF5E, the space to U+3000); every
// other character stays.
std::string toFullWidth(std::string_view text);

}  // namespace oz::tools
