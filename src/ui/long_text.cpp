#include "ui/long_text.h"

namespace oz::ui {

std::size_t shownLength(std::string_view text, int maxLines, int maxCharacters, int maxLineCharacters) {
    int lines = 0;
    int characters = 0;
    int lineCharacters = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        const auto byte = static_cast<unsigned char>(text[at]);
        if ((byte & 0xC0) == 0x80) continue;  // inside a character
        if (byte == '\n') {
            if (++lines == maxLines) return at + 1 == text.size() ? text.size() : at;
            if (characters == maxCharacters) return at;
            ++characters;
            lineCharacters = 0;
            continue;
        }
        if (characters == maxCharacters || lineCharacters == maxLineCharacters) return at;
        ++characters;
        ++lineCharacters;
    }
    return text.size();
}

}  // namespace oz::ui
