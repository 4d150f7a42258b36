#pragma once

#include <string>
#include <string_view>
#include <vector>

// What the back end makes of an article title: it rewrites and cuts the title before it stores it,
// and its article list shows the stored text cleaned once more. The article look-up matches the
// rows of the list against this model, never against a looser "starts with" rule.
namespace oz::backend {

// How the article list cleans a field before it shows it (its DataListCP::RemoveXss).
enum class ListCleaning {
    DedeCms,  // 5.7 SP2, 5.7.x, 5.8: "," removed; "'" "`" '"' "(" ")" as full-width look-alikes
    DedeBiz,  // DedeBIZ V6: "|" removed; "," as "，" as well
};

// How a back end stores titles.
struct TitleRules {
    bool gbk = false;              // the site's charset: GBK, else UTF-8
    int maxBytes = 60;             // the back end's title length setting ($cfg_title_maxlen)
    int columnChars = 60;          // the width of the title column in characters; 0: no limit
    bool fixedWidthColumn = true;  // a CHAR column: trailing spaces are not kept
    ListCleaning cleaning = ListCleaning::DedeCms;
};

// The title as the back end's add-article page stores it, from the title as the program sent it:
// '"' becomes '＂'; the text is cut to whole characters by the length setting, in bytes of the
// site's charset (a UTF-8 back end keeps a character while it has fewer bytes than the setting
// plus that character's length, so it may go a character over); then '&', '<', '>' and "'" are
// escaped as "&amp;", "&lt;", "&gt;" and "&#039;"; the column cuts the escaped text again (which
// can cut inside a reference) and drops trailing spaces.
std::string storedTitle(std::string_view sent, const TitleRules& rules);

// The title as the back end's article list shows it, read as plain text (tags removed, references
// decoded, as the list reader reads a row): the stored text itself (5.7 SP1), and the stored text
// after the list's cleaning ("&#039;" back to "'", then look-alikes in and characters out, as
// `rules.cleaning` says). On a GBK back end that cleaning loses the whole title when it puts a
// look-alike in, and the list shows it blank. Every distinct form, in that order.
std::vector<std::string> listedTitleForms(std::string_view stored, const TitleRules& rules);

// The keyword that finds a stored title in the article list (the back end searches the stored
// text): its first characters, up to a backslash (the search's escape character), blanks trimmed.
std::string storedTitleKeyword(std::string_view stored);

}  // namespace oz::backend
