#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace oz::content {

// The entries of a stored list (a settings text with one entry per line): the lines, with the
// empty ones left out so a trailing or doubled line break never draws an empty entry.
std::vector<std::string> splitListLines(std::string_view text);

}  // namespace oz::content

namespace oz::content {

// A number read the lenient way settings texts are read: leading blanks, an optional sign and
// the digits that follow; anything else ends the number ("12abc" gives 12, "abc" gives 0).
// Values beyond the int range are clamped.
int lenientInt(std::string_view text);

// A file name or path as UTF-8 text for titles, logs and output: kept when it is valid UTF-8,
// else read as GBK when it is valid GBK (names from Windows archives), else with its invalid
// bytes replaced by U+FFFD.
std::string displayText(std::string_view bytes);

}  // namespace oz::content
