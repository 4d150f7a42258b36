#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "backend/admin_session.h"
#include "backend/backend_context.h"

// Looking an article up in the back end's article list, to settle a submission whose answer did
// not say whether the article was stored: a gateway's 504 while PHP goes on, a connection dropped
// after the body went out, an answer that came too late.
namespace oz::backend {

// The highest article id a site is known to hold before its next post. An article found after an
// unknown answer counts only when its id is above it, so an older article of the same title is
// never taken for the new one. Kept per site for a whole run.
struct ArticleMark {
    std::optional<int> highestId;  // std::nullopt: to be read from the list before the next post
    bool unreadable = false;       // the list could not be read since the last login; not asked again
};

// Reads the highest id of the site's article list into the mark, unless it is known or the list
// was unreadable since the last login.
void readArticleMark(AdminSession& session, const BackendContext& context, ArticleMark& mark);

enum class LookupResult {
    Found,     // a new article of that title and category is on the site
    NotFound,  // none: the article was not stored
    Unknown,   // the list could not be read, or a match cannot be told from an older article
};

struct ArticleLookup {
    LookupResult result = LookupResult::Unknown;
    int id = 0;           // Found: the article's id
    std::string address;  // Found: its address
    std::string reason;   // Unknown: why
};

// Looks for the article that was sent as `sentTitle` into category `typeId`: the list searched by
// the start of the title (content_list.php?channelid=1&keyword=...), logging in again when the
// session is gone. A row matches when its title is the sent one, or the start of it cut by the
// back end's title length, its category (when the row names one) is typeId, and its id is above
// the mark. A found article's address comes from the back end's view link.
ArticleLookup findNewArticle(AdminSession& session, const BackendContext& context, std::string_view sentTitle,
                             int typeId, const ArticleMark& mark);

// The keyword the list is searched with: the title's first characters, up to the first one the
// back end stores escaped or treats specially (& < > " ' \), blanks trimmed.
std::string titleSearchKeyword(std::string_view title);

// A listed title belongs to the sent one: equal, or a start of it of at least kMinKeptTitleChars
// characters (the back end cuts long titles at its 标题最大长度).
inline constexpr int kMinKeptTitleChars = 10;
bool listedTitleMatches(std::string_view listed, std::string_view sent);

}  // namespace oz::backend
