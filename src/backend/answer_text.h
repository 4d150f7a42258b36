#pragma once

#include <string>
#include <string_view>

namespace oz::backend {

// `decodeAnswerText`: unescapes a login answer before its success test. In order: JSON-style
// "\uXXXX" escapes (value at least 1) become their characters; "\"" and "\/" lose the backslash;
// character references become their characters: "&#DDD;", "&#xHHH;" and the HTML 4.01 entity
// names, looked up in lower case (so a name with capitals reads as its all-lower-case entry and
// "&nbsp;" is an ordinary space). Anything else, malformed or unknown, stays as it is.
std::string decodeAnswerText(std::string_view text);

// The character references of a page's text as decodeAnswerText reads them, in one pass (so
// "&amp;lt;" is "&lt;"): the text a page shows for what the back end stored.
std::string decodeCharacterReferences(std::string_view text);

}  // namespace oz::backend
