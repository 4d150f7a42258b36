#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace oz::content {

// The first Mandarin reading of a GB2312 Chinese character: lower-case ASCII letters without tone
// ("ü" written "v"). Empty for every other code point.
std::string_view pinyinOf(char32_t codePoint);

// The same for the first UTF-8 character of `character`; empty when it is not a GB2312 Chinese character.
std::string_view pinyinOfCharacter(std::string_view character);

// Every Chinese character that has a reading becomes the first letter of that reading (lower case); every
// other character, line breaks included, stays as it is. Used for "标题首拼" file names.
std::string titleInitials(std::string_view text);

// Number of characters in the reading table (the GB2312 Chinese characters).
std::size_t pinyinTableSize();

}  // namespace oz::content
