#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "backend/backend_context.h"
#include "config/site_config.h"
#include "content/article_draft.h"
#include "text/clock.h"

namespace oz::backend {

struct FormEntry {
    std::string name;
    std::string value;
};

// The add-article form has this many entries; the last five are never filled.
inline constexpr int kArticleFormSize = 50;

// The title colour as "#RRGGBB" from the colour picker's 0x00BBGGRR value; empty for "no colour"
// (0xFF000000, or any value with its top byte set).
std::string titleColorText(int color);

// The 50 form entries, in form order, from a draft whose submission fields (flags, description,
// click) are drawn. Entries with an empty name or value are left out of the body. Keywords and the
// description carry no '"', '<' or '>': they go as "＂", "＜" and "＞".
std::vector<FormEntry> articleFormEntries(const content::ArticleDraft& draft, const config::SiteConfig& site,
                                          const text::DateTime& now, int imageFieldX, int imageFieldY);

// Draws the submission fields into the draft (content::drawSubmissionFields), then the entries
// with the publish time (`publishTime`, else the current time) and the drawn button offsets
// (imageField.x in 30..50, imageField.y in 10..30, drawn through context.random).
std::vector<FormEntry> buildArticleForm(content::ArticleDraft& draft, const config::SiteConfig& site,
                                        const BackendContext& context,
                                        const text::DateTime* publishTime = nullptr);

// name=value pairs joined with "&", skipping entries with an empty name or value; each value is
// percent-encoded in the site's charset as its database stores it (GBK without GB18030's
// four-byte forms and the euro sign; UTF-8 without four-byte forms), names are sent as they are
// ("flags[]"). A character the charset lacks goes in the body as the reference "&#N;"; in the
// other fields it becomes its look-alike (no-break space: space, "•": "·", ...) or is left out.
// `leftOut` gets the characters left out, each once, in order.
// `titleReplaced` gets the characters of the title that became their look-alikes, each once.
struct Replacement {
    std::string from;
    std::string to;
};
std::string formBody(const std::vector<FormEntry>& entries, bool utf8Site, std::string* leftOut = nullptr,
                     std::vector<Replacement>* titleReplaced = nullptr);

// A plain-text field (the title) as the back end receives it from formBody: look-alikes in place,
// left-out characters gone.
std::string plainFieldAsSent(std::string_view value, bool utf8Site);

// How long a tag the back end keeps: one longer than `bytes` in the site's charset (or holding a
// quote or a backslash) is dropped without a word, one longer than `chars` characters is cut.
struct TagLimits {
    std::size_t bytes;
    std::size_t chars;
};
// One log line for each tag of the comma-separated list that the back end would drop or cut. The
// tags go as they are: the line says what the back end makes of them.
std::vector<std::string> tagWarnings(std::string_view tags, bool utf8Site, TagLimits limits);

// What the log says of the replacements in a field: "标题中的 ñ、ç 已替换为 n、c".
std::string replacementText(std::string_view field, const std::vector<Replacement>& replaced);

}  // namespace oz::backend
