#include "content/pinyin.h"

#include <algorithm>
#include <cstdint>

#include "content/generated_data.h"
#include "text/characters.h"

namespace oz::content {

std::string_view pinyinOf(char32_t codePoint) {
    if (codePoint > 0xFFFF) return {};
    const std::uint16_t* first = generated::kPinyinCodePoints;
    const std::uint16_t* last = first + generated::kPinyinCharacterCount;
    const std::uint16_t* found = std::lower_bound(first, last, static_cast<std::uint16_t>(codePoint));
    if (found == last || *found != codePoint) return {};
    return generated::kPinyinSyllables[generated::kPinyinSyllableOf[found - first]];
}

std::string_view pinyinOfCharacter(std::string_view character) {
    if (character.empty()) return {};
    std::size_t length = 0;
    const char32_t codePoint = text::codePointAt(character, 0, &length);
    return length == 0 ? std::string_view{} : pinyinOf(codePoint);
}

std::string titleInitials(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t offset = 0; offset < text.size();) {
        const std::size_t length = text::charLength(text, offset);
        const std::string_view reading = pinyinOf(text::codePointAt(text, offset));
        if (reading.empty()) {
            result.append(text.substr(offset, length));
        } else {
            result += reading.front();
        }
        offset += length;
    }
    return result;
}

std::size_t pinyinTableSize() { return generated::kPinyinCharacterCount; }

}  // namespace oz::content
