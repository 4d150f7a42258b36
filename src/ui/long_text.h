#pragma once

#include <cstddef>
#include <string_view>

namespace oz::ui {

// A text box lays a long text out on the window thread, a long line all at once: a result of a
// million characters held the window up for seconds. Such a text is shown by its start only, and
// the whole stays with its window for copying and saving.
inline constexpr int kShownLines = 20'000;
inline constexpr int kShownCharacters = 100'000;
inline constexpr int kShownLineCharacters = 4'000;

// How many bytes of `text` (UTF-8, lines ending at LF) a box shows: the whole text when it is
// within the limits (characters counted with the line breaks), else its start, cut before a line
// break or inside the first line that is too long.
std::size_t shownLength(std::string_view text, int maxLines = kShownLines,
                        int maxCharacters = kShownCharacters, int maxLineCharacters = kShownLineCharacters);

}  // namespace oz::ui
