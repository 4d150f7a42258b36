#pragma once

#include <string>
#include <string_view>

namespace oz::backend {

// `urlEncode`: the percent-encoding of request bodies. The text's bytes in the site's charset
// (UTF-8 when utf8Site, else GBK as the back end stores it; a character GBK lacks goes as a browser
// sends it, the reference "&#N;" with every byte escaped) are written with ASCII letters, digits and "." "_"
// "-" kept and every other byte as "%" + two upper-case hex digits (a space is "%20", never "+").
// keepSeparators also keeps "&" and "=", for a text that is already a whole "name=value&..." body.
std::string urlEncode(std::string_view text, bool utf8Site, bool keepSeparators = false);
// urlEncode's result appended to `out`.
void appendUrlEncoded(std::string& out, std::string_view text, bool utf8Site, bool keepSeparators = false);

// Bytes already in the site's charset, percent-encoded as a form value (keepSeparators off).
void appendBytesUrlEncoded(std::string& out, std::string_view bytes);

// The GBK percent-encoding of the map-page forms: the GBK bytes of the text with ASCII letters,
// digits and ! ( ) - . * _ kept, every other byte as "%" + two upper-case hex digits; a character
// GBK lacks goes as the escaped reference "&#N;".
std::string gbkFormEncode(std::string_view text);

}  // namespace oz::backend
