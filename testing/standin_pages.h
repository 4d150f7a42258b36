#pragma once

// The pages of the stand-in back end, shaped after the answers of a real DedeCMS 5.7 back end.
// All return UTF-8 text; charsetLabel is what the meta tag declares ("utf-8" or "gb2312").

#include <string>
#include <string_view>
#include <vector>

namespace oz::testing {

// The back end's message page (its ShowMsg): the message as the third document.write and, unless
// gotoUrl is a "javascript:" one, the continuation link "如果你的浏览器没反应，请点击这里...".
std::string messagePage(std::string_view charsetLabel, std::string_view message, std::string_view gotoUrl,
                        int waitMs = 1000);

std::string movedPermanentlyPage(std::string_view location);
std::string loginFormPage(std::string_view charsetLabel, std::string_view gotoPage);
std::string adminIndexPage(std::string_view charsetLabel);

struct CategoryOption {
    int id = 0;
    int depth = 0;  // 0: top level
    std::string name;
};
std::string articleFormPage(std::string_view charsetLabel, const std::vector<CategoryOption>& options);

struct SavedArticleLinks {
    int id = 0;
    int typeId = 0;
    std::string url;  // the new article's path from the host root
    bool progressFrame = true;
    int tagFrames = 0;
};
std::string articleSavedPage(std::string_view charsetLabel, const SavedArticleLinks& links);

// The home-page form carries the inputs "templet" and "position" by name and id; the map-page
// forms carry them by id only.
std::string homePageForm(std::string_view charsetLabel, std::string_view templet, std::string_view position);
std::string mapPageForm(std::string_view charsetLabel, std::string_view title, std::string_view templet,
                        std::string_view position);

std::string catalogEditPage(std::string_view charsetLabel, int id, int topId, std::string_view name,
                            std::string_view typeDir);

std::string articleViewPage(std::string_view charsetLabel, std::string_view title, std::string_view body);

// One row of the article list.
struct ListedRow {
    int id = 0;
    int typeId = 0;
    std::string typeName;
    std::string title;  // as the list shows it: HTML
    std::string date;   // "2026-12-09"
    std::string user;
};
// The article list page (content_list.php) with its search form holding `keyword`.
std::string contentListPage(std::string_view charsetLabel, std::string_view keyword,
                            const std::vector<ListedRow>& rows);

// What archives_do.php?dopost=viewArchives answers: a script that sends the browser to `url`.
std::string viewArchivesScript(std::string_view url);

// Escapes & < > " ' for attribute values and text.
std::string htmlEscape(std::string_view text);

}  // namespace oz::testing
