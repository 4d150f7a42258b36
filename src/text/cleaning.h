#pragma once

#include <string>
#include <string_view>

// The steps that turn an HTML article into plain text. None of them fails: an empty text gives an
// empty result and text without anything to clean comes back unchanged.
namespace oz::text {

struct StripTagsOptions {
    // Put CR LF before "<p", "</p>" and the br forms so paragraphs stay apart.
    bool breakBeforeBlocks = true;
    // Turn "Width>", "Height>", "Width<", "Height<" into full-width signs first.
    bool fullWidthSizeSigns = true;
    // Remove whole links (the tag and the link text) before the other tags.
    bool removeLinks = false;
};

// Removes every "<" + at least one character + ">" span, then decodes entities.
std::string stripTags(std::string_view html, const StripTagsOptions& options = {});
// Removes every "<" + at least one character + the next ">" after them, left to right: what the
// pattern <[\s\S]+?> removes, in one pass (the pattern is quadratic on a run of "<" without ">").
std::string removeTagSpans(std::string_view text);
// Decodes the named entities of the fixed list ("&amp;" first, "&nbsp;" to an ASCII space) and
// the numeric references "&#20013;" / "&#x4E2D;". A reference that does not name a valid
// character, and a "&#" without a later ";", stay as they are.
std::string decodeEntities(std::string_view text);
// Removes web addresses: a scheme "xx://" or "www" up to the next Chinese character, white space,
// quote or angle bracket.
std::string removeUrls(std::string_view text);
// Removes ASCII white space and full-width spaces. With a limit, stops once the result holds at
// least `limit` bytes: the start of the whole result, for a caller that wants only its beginning.
std::string removeWhitespace(std::string_view text, std::size_t limit = std::string_view::npos);
// Keeps only ASCII letters, digits, "_", "-", "," and ".".
std::string keepWordChars(std::string_view text);
// Removes every span from a "<" to the next ">"; a "<" without a later ">" and a ">" without an
// earlier "<" stay.
std::string scanStripTags(std::string_view text);
// Removes the named entities of decodeEntities' list (replacing each by nothing, "&amp;" last).
std::string stripEntities(std::string_view text);

}  // namespace oz::text
