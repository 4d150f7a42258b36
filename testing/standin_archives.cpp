// The stand-in's article management: the article list (content_list.php), an article's edit page,
// and archives_do.php, which shows, edits and deletes articles.

#include <algorithm>
#include <cstdlib>

#include "testing/standin_site.h"
#include "testing/standin_site_common.h"
#include "text/characters.h"
#include "text/markers.h"

namespace oz::testing {

namespace {

constexpr std::size_t kListPageSize = 30;

// How content_list.php shows a stored field (DataListCP::RemoveXss): control characters and the
// family's dropped character removed, "&#039;" back to "'", then ` ' " ( ) , as full-width
// look-alikes. The GBK edition does this on the UTF-8 form with look-alikes written in GBK, so
// converting back fails and the field comes out empty.
std::string listedField(const std::string& stored, bool gbk, char dropped) {
    std::string text;
    for (const char c : oz::text::replaceAll(stored, "&#039;", "'")) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x08 || byte == 0x0B || byte == 0x0C || (byte >= 0x0E && byte <= 0x19) || c == dropped)
            continue;
        text.push_back(c);
    }
    bool lookAlike = false;
    std::string listed;
    for (const char c : text) {
        switch (c) {
            case '`':
            case '\'':
                listed += "‘";
                lookAlike = true;
                break;
            case '"':
                listed += "“";
                lookAlike = true;
                break;
            case '(':
                listed += "（";
                lookAlike = true;
                break;
            case ')':
                listed += "）";
                lookAlike = true;
                break;
            case ',':
                listed += "，";
                lookAlike = true;
                break;
            default:
                listed.push_back(c);
        }
    }
    return gbk && lookAlike ? std::string() : listed;
}

// The digits of a piece of an id list: the real DelArc drops everything else.
int digitsOnly(std::string_view piece) {
    std::string digits;
    for (const char c : piece) {
        if (c >= '0' && c <= '9') digits += c;
    }
    return digits.empty() || digits.size() > 9 ? 0 : std::stoi(digits);
}

}  // namespace

SiteAnswer SiteBackEnd::contentList(Context& context) {
    const std::string keyword = context.fields.get("keyword");
    const std::size_t skip =
        static_cast<std::size_t>(std::max(1, context.fields.getInt("pageno")) - 1) * kListPageSize;
    std::vector<const StoredArticle*> listed;
    for (auto it = m_articles.rbegin(); it != m_articles.rend(); ++it) {
        // The back end searches the stored (escaped) title, as MySQL's LIKE does.
        if (it->deleted ||
            (!keyword.empty() && oz::text::findNoCase(it->title, keyword) == std::string::npos))
            continue;
        listed.push_back(&*it);
    }
    std::string order = context.fields.get("orderby");
    if (order.empty()) order = m_faults.defaultListOrder;
    if (order == "click") {
        // Most viewed first; among equals the oldest first, so the newest article is on the last page.
        std::stable_sort(listed.begin(), listed.end(), [](const StoredArticle* a, const StoredArticle* b) {
            const int clickA = std::atoi(a->field("click").c_str());
            const int clickB = std::atoi(b->field("click").c_str());
            return clickA != clickB ? clickA > clickB : a->id < b->id;
        });
    }
    std::vector<ListedRow> rows;
    std::size_t matching = 0;
    for (auto it = listed.begin(); it != listed.end() && rows.size() < kListPageSize; ++it) {
        const StoredArticle* article = *it;
        if (matching++ < skip) continue;
        const StandinCategory* type = category(article->typeId);
        rows.push_back(
            {article->id, article->typeId, type ? type->name : std::string(),
             listedField(article->title, m_charset == oz::text::Charset::Gbk, m_family.listDropped),
             todayText(), article->user});
    }
    return page(m_family.articleListPage(charsetLabel(), keyword, rows));
}

SiteAnswer SiteBackEnd::articleEdit(Context& context) {
    const int id = context.fields.getInt("aid");
    for (const StoredArticle& article : m_articles) {
        if (article.id == id && !article.deleted) {
            return page(
                "<html><head><title>更改文章</title></head><body><form name='form1' "
                "action='article_edit.php' method='post'>\r\n<input name=\"title\" type=\"text\" "
                "id=\"title\" value=\"" +
                article.title + "\" style=\"width:388px\">\r\n</form></body></html>\r\n");
        }
    }
    return message("读取档案基本信息出错!", kBack);
}

SiteAnswer SiteBackEnd::archivesDo(Context& context) {
    if (context.fields.get("dopost") == "viewArchives") {
        const int id = context.fields.getInt("aid");
        for (const StoredArticle& article : m_articles) {
            if (article.id == id && !article.deleted) return page(viewArchivesScript(article.url));
        }
        return message("文档不存在！", kBack);
    }
    if (context.fields.get("dopost") == "editArchives") {
        SiteAnswer answer = page("");
        answer.status = 302;
        answer.headers.emplace_back("location",
                                    "article_edit.php?aid=" + std::to_string(context.fields.getInt("aid")));
        return answer;
    }
    if (context.fields.get("dopost") != "delArchives") return message("完成操作！", kDone);
    std::string list = context.fields.get("qstr");
    if (list.empty()) list = context.fields.get("aid");
    // Without fmdo=yes the real back end only asks for confirmation and deletes nothing.
    if (context.fields.get("fmdo") != "yes") {
        return page(
            "<form name='form1' action='archives_do.php' method='post'>\r\n"
            "<input type='hidden' name='fmdo' value='yes' />\r\n"
            "<input type='hidden' name='dopost' value='delArchives' />\r\n"
            "<input type='hidden' name='aid' value='" +
            htmlEscape(context.fields.get("aid")) + "' />\r\n<input type='hidden' name='qstr' value='" +
            htmlEscape(list) + "' />\r\n你确实要删除“ " + htmlEscape(list) +
            " ”这些文档？\r\n<input type='submit' value='确定' />\r\n</form>");
    }
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(m_family.idSeparator, start), list.size());
        const int id = digitsOnly(std::string_view(list).substr(start, end - start));
        bool held = false;
        for (StoredArticle& article : m_articles) {
            if (article.id == id && id > 0) {
                article.deleted = true;
                held = true;
            }
        }
        if (m_family.deletionStopsAtMissingId && !held && id > 0) return serverError();
        start = end + 1;
    }
    return successMessage(m_family.articlesDeleted, "content_list.php");
}

}  // namespace oz::testing
