#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/site_config.h"
#include "content/article_draft.h"
#include "content/site_pools.h"
#include "content/word_segmenter.h"

namespace oz::content {

// The values of 关键词方式, 标签方式 and 标题方式.
enum ListMode : int {
    kRandomPhrases = 0,  // "随机词组": entries drawn from the list, joined by ","
    kAutoSegment = 1,    // "自动分词": the most frequent dictionary words of body + title
    kUseTitle = 2,       // "使用标题": the title as it stands before the category prefix is removed
    kLeaveEmpty = 3,     // "留空内容"
    kFirstLine = 4,      // "内容首行": the first line taken from the body
};

// The values of 文章地址.
enum FileNameRule : int {
    kDefaultName = 0,    // "顺序命名": empty, the back end names the file
    kTitleInitials = 1,  // "标题首拼"
    kRandomLetters = 2,  // "随机字母"
};

// The title of an article whose file name gives none.
inline constexpr std::string_view kUntitled = "未命名标题";

// The author of an article when the site's author list is empty: the default account name of a
// newly added site.
const std::string& defaultAuthorName();

// `bodyElement`: the content of the text's HTML body element; the text unchanged when it has none.
std::string bodyElement(std::string_view text);

// `takeFirstLine`: the first line that still holds text once its tags and control characters are
// removed and its blanks trimmed (the line returned in that cleaned form; a tab counts as a blank). The body
// loses that line, its line break and the empty lines before it; when no such line exists the result and the
// body are both empty. Lines end at CR LF or LF.
std::string takeFirstLine(std::string& body);

// `wrapParagraphs`: every non-empty line (blank-only lines count) becomes "<p>" + line +
// "</p>\r\n"; empty lines are dropped.
std::string wrapParagraphs(std::string_view body);

// `randomLetters`: n ASCII letters, each of a randomly drawn case (8 when n <= 0).
std::string randomLetters(int n);

// A keywords, tags or short-title field by its mode (ListMode); `lo`/`hi` are the field's bounds.
// Other mode values give an empty field.
struct ListFieldSource {
    const std::string& body;       // the body as prepared so far
    const std::string& title;      // the title before the category prefix is removed
    const std::string& firstLine;  // the first line taken from the body (empty when none was taken)
    // The dictionary words of body + title ranked by count (empty when no field segments),
    // segmented and ranked once per article for every field that takes them.
    const std::vector<std::string_view>& rankedWords;
};
std::string listField(int mode, TextPool& pool, int lo, int hi, const ListFieldSource& source);

// The "[#id#]" category prefix of a title: the id (0 when it is not a number) and the title after
// the prefix (text before the prefix goes with it). std::nullopt when there is no prefix with
// content.
struct CategoryPrefix {
    int typeId = 0;
    std::string title;
};
std::optional<CategoryPrefix> splitCategoryPrefix(std::string_view title);

// `filename` by 文章地址 (FileNameRule): the title's initials reduced to letters, digits, "_", "-",
// ",", "."; or random letters, their number drawn from lo..hi; otherwise empty.
std::string articleFileName(int rule, std::string_view title, int lo, int hi);

// The title a path's file name gives, as UTF-8 text: a name stored in another encoding is read as
// GBK when it is valid GBK, otherwise with its invalid bytes replaced. Control characters are
// removed (a tab becomes a space). kUntitled when empty.
std::string titleOfPath(std::string_view path);

// `compose`: reads the article file with the site's 文件编码 and composes it. std::nullopt when the
// file gives no text (missing, unreadable, empty, or an empty body element); the caller reports
// "文章不存在：" + path.
std::optional<ArticleDraft> compose(const config::SiteConfig& site, SitePools& pools, const std::string& path,
                                    const WordSegmenter& segmenter = WordSegmenter::shared());

// The same for a text already read: every step after reading, in order (title, body element,
// first line, paragraphs, keywords, tags, short title, writer, category, file name, source).
std::optional<ArticleDraft> composeText(const config::SiteConfig& site, SitePools& pools,
                                        std::string_view path, std::string text,
                                        const WordSegmenter& segmenter = WordSegmenter::shared());

}  // namespace oz::content
