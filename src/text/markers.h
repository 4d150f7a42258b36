#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// Marker and list helpers used to read the back end's answers.
namespace oz::text {

// Where a chain of textBetween calls goes on. A fresh position is the start of the text; once a
// call from a fresh position finds nothing, the position is exhausted and every later call with
// it returns empty at once.
struct MarkerPosition {
    std::size_t offset = 0;  // byte offset into the text
    bool exhausted = false;
};

// Every pair of single quotes becomes one double quote ("href=''" gives href=").
std::string quotePairsToDoubleQuote(std::string_view text);

// The text between `startMarker` and `endMarker`, searched ignoring ASCII case, from `position`.
// Markers are first passed through quotePairsToDoubleQuote; an empty start marker means the search
// position, an empty end marker the end of the text. Forward mode finds the start marker, then the
// end marker after it. nearestBeforeEnd finds the end marker first, then the start marker nearest
// before it. When nothing is found a second attempt drops every double quote from both markers.
// On success `position` moves just past the end marker; on failure the result is empty.
std::string textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                        MarkerPosition& position, bool nearestBeforeEnd = false);
std::string textBetween(std::string_view text, std::string_view startMarker, std::string_view endMarker,
                        bool nearestBeforeEnd = false);

// The content of the first element with that tag name (case-insensitive): the text between the end
// of its start tag and its matching end tag, nested elements of the same name included. Without an
// end tag, the rest of the text; empty when there is no such element.
std::string elementContent(std::string_view text, std::string_view tagName);

// `separator`-separated pieces, empty ones kept ("a||b" gives "a", "", "b"; "" gives one "").
std::vector<std::string_view> splitList(std::string_view text, std::string_view separator);

// The lines of a text. A line ends at LF; a CR before the LF belongs to the break (so CR LF and
// LF-only files read alike). A text that ends with a break has no empty last line; an empty
// text has no lines.
std::vector<std::string_view> splitLines(std::string_view text);

// Alternatives separated by "[fg]", searched ignoring ASCII case. anyOf: at least one occurs;
// otherwise all occur. Empty alternatives are ignored; with none left the result is false.
bool containsAlternatives(std::string_view text, std::string_view alternatives, bool anyOf);
// Pieces separated by "|": true when every non-empty piece occurs (ignoring ASCII case).
bool containsAllPieces(std::string_view text, std::string_view pieces);

// finds and replacements are "|"-separated lists. For each find item in turn, every occurrence
// is replaced by the replacement at the same position; a missing or empty one becomes the first
// replacement when reuseFirst is set, else the empty text. Empty find items are skipped.
std::string replaceEach(std::string_view text, std::string_view finds, std::string_view replacements,
                        bool caseSensitive = true, bool reuseFirst = false);
// Replaces every occurrence of `find` (non-empty) by `replacement`, left to right.
std::string replaceAll(std::string_view text, std::string_view find, std::string_view replacement,
                       bool caseSensitive = true);
// As replaceAll, writing into `out`; false (and `out` untouched) when nothing was found.
bool replaceAllInto(std::string_view text, std::string_view find, std::string_view replacement,
                    bool caseSensitive, std::string& out);

}  // namespace oz::text
