#pragma once

// Request and answer text helpers of the stand-in back end: form fields read the way PHP reads
// them, cookies, and PHP's urlencode for the gotopage values of its redirects.

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "text/charset.h"

namespace oz::testing {

// Name/value pairs in arrival order, decoded to UTF-8.
class FormFields {
   public:
    // Parses "a=1&b=2" as PHP does: pieces split at "&", the first "=" splits name and value,
    // "+" is a space, %XX a byte; the bytes are then decoded from charset (invalid bytes become
    // U+FFFD). Appends to the fields already held, so query and body can be merged.
    void parse(std::string_view encoded, oz::text::Charset charset);

    void append(const FormFields& other);

    std::string get(std::string_view name) const;  // first value; empty when absent
    bool has(std::string_view name) const;
    int getInt(std::string_view name) const;  // leading decimal integer; 0 when none
    const std::vector<std::pair<std::string, std::string>>& all() const { return m_fields; }

   private:
    std::vector<std::pair<std::string, std::string>> m_fields;
};

std::string percentDecode(std::string_view encoded);  // "+" is a space
std::string phpUrlEncode(std::string_view bytes);     // keeps letters, digits and "-_."; space as "+"
int leadingInt(std::string_view text);                // like PHP's intval: 0 when no leading number

// The value of a cookie in a Cookie header; empty when absent.
std::string cookieValue(std::string_view cookieHeader, std::string_view name);

}  // namespace oz::testing
