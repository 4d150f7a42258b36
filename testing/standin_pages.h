#pragma once

// The pages of the stand-in back end, shaped after the answers of a real DedeCMS 5.7 back end and,
// where they say so, of a real DedeBIZ 6.2.10 one.
// All return UTF-8 text; charsetLabel is what the meta tag declares ("utf-8" or "gb2312").

#include <string>
#include <string_view>
#include <vector>

namespace oz::testing {

// The back end's message page (its ShowMsg): the message as the third document.write and, unless
// gotoUrl is a "javascript:" one, the continuation link "如果你的浏览器没反应，请点击这里...".
std::string messagePage(std::string_view charsetLabel, std::string_view message, std::string_view gotoUrl,
                        int waitMs = 1000);

// DedeBIZ's message page: the message as the third document.write after "<div class='tips-body'>"
// and, unless gotoUrl is "javascript:;", the continuation link "点击反应". DedeBIZ's pages are
// UTF-8 whatever the label says.
std::string dedeBizMessagePage(std::string_view charsetLabel, std::string_view message,
                               std::string_view gotoUrl, int waitMs = 1000);

std::string movedPermanentlyPage(std::string_view location);
// The login form; its script loads the verification image `captchaImage` ("../include/vdimgck.php").
std::string loginFormPage(std::string_view charsetLabel, std::string_view gotoPage,
                          std::string_view captchaImage = "../include/vdimgck.php");
std::string dedeBizLoginPage(std::string_view charsetLabel, std::string_view gotoPage,
                             std::string_view captchaImage = "../apps/vdimgck.php");
std::string adminIndexPage(std::string_view charsetLabel);

struct CategoryOption {
    int id = 0;
    int depth = 0;  // 0: top level
    std::string name;
};
// How an option below the top shows its level: branch, one "─" per level, gap, then the name
// ("─name"; DedeBIZ: "└─ name").
struct CategoryIndent {
    std::string_view branch;
    std::string_view gap;
};
std::string articleFormPage(std::string_view charsetLabel, const std::vector<CategoryOption>& options,
                            CategoryIndent indent = {});

struct SavedArticleLinks {
    int id = 0;
    int typeId = 0;
    std::string url;  // the new article's path from the host root
    bool progressFrame = true;
    int tagFrames = 0;
};
std::string articleSavedPage(std::string_view charsetLabel, const SavedArticleLinks& links);
// DedeBIZ's "成功发布文档" page: the button "浏览文档" and, with progressFrame, the 360px frame.
std::string dedeBizArticleSavedPage(std::string_view charsetLabel, const SavedArticleLinks& links);

// The home-page form carries the inputs "templet" and "position" by name and id; the map-page
// forms carry them by id only.
std::string homePageForm(std::string_view charsetLabel, std::string_view templet, std::string_view position);
std::string mapPageForm(std::string_view charsetLabel, std::string_view title, std::string_view templet,
                        std::string_view position);

std::string catalogEditPage(std::string_view charsetLabel, int id, int topId, std::string_view name,
                            std::string_view typeDir);

std::string articleViewPage(std::string_view charsetLabel, std::string_view title, std::string_view body);
// A list page or the home page as the visitor sees it: a heading and `content` (HTML) below it.
std::string visitorPageHtml(std::string_view charsetLabel, std::string_view title, std::string_view content);

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
// DedeBIZ's: each title in its edit link without "<u>", in DedeBIZ's row markup.
std::string dedeBizContentListPage(std::string_view charsetLabel, std::string_view keyword,
                                   const std::vector<ListedRow>& rows);

// What archives_do.php?dopost=viewArchives answers: a script that sends the browser to `url`.
std::string viewArchivesScript(std::string_view url);

// Escapes & < > " ' for attribute values and text.
std::string htmlEscape(std::string_view text);

}  // namespace oz::testing
