// The site as a visitor sees it: the pages the back end wrote (articles, the list pages and the
// home page it made), and the faults a live site shows.
#include <algorithm>

#include "testing/standin_pages.h"
#include "testing/standin_site.h"

namespace oz::testing {
namespace {

constexpr int kListPageSize = 10;  // the default list template's pagesize

std::string linkList(const std::vector<const StoredArticle*>& articles) {
    std::string list = "<ul>\r\n";
    for (const StoredArticle* article : articles) {
        list += "<li><a href=\"" + article->url + "\">" + article->title + "</a></li>\r\n";
    }
    return list + "</ul>\r\n";
}

}  // namespace

void SiteBackEnd::madeList(int typeId) {
    std::vector<int>& ids = m_madeLists[typeId];
    ids.clear();
    for (auto it = m_articles.rbegin(); it != m_articles.rend(); ++it) {
        if (!it->deleted && it->typeId == typeId) ids.push_back(it->id);
    }
}

void SiteBackEnd::madeHomePage() {
    m_homeMade.clear();
    for (auto it = m_articles.rbegin(); it != m_articles.rend() && m_homeMade.size() < kListPageSize; ++it) {
        if (!it->deleted) m_homeMade.push_back(it->id);
    }
    m_homePageMade = true;
}

std::optional<SiteAnswer> SiteBackEnd::visitorPage(const SiteRequest& request) {
    const std::string path = m_sitePath + request.path;
    const auto byId = [this](int id) -> const StoredArticle* {
        for (const StoredArticle& article : m_articles) {
            if (article.id == id && !article.deleted) return &article;
        }
        return nullptr;
    };
    const auto shown = [&](const std::vector<int>& ids) {
        std::vector<const StoredArticle*> articles;
        for (int id : ids) {
            if (const StoredArticle* article = byId(id); article && articles.size() < kListPageSize)
                articles.push_back(article);
        }
        return articles;
    };
    std::optional<SiteAnswer> answer;
    std::string templet;
    if (const auto found = m_articleByUrl.find(path);
        found != m_articleByUrl.end() && !m_articles[found->second].deleted) {
        const StoredArticle& article = m_articles[found->second];
        answer = page(articleViewPage(charsetLabel(), article.field("title"), article.field("body")));
        templet = "article_article.htm";
    } else if (path == m_sitePath + "/" || path == m_sitePath + "/index.html") {
        if (m_homePageMade)
            answer = page(visitorPageHtml(charsetLabel(), "首页", linkList(shown(m_homeMade))));
        templet = "index.htm";
    } else {
        for (const StandinCategory& c : m_categories) {
            const std::string dir = expandDir(c.typeDir);
            const auto made = m_madeLists.find(c.id);
            if (made != m_madeLists.end() && (path == dir + "/" || path == dir + "/index.html")) {
                answer = page(visitorPageHtml(charsetLabel(), c.name, linkList(shown(made->second))));
                templet = "list_article.htm";
            }
        }
    }
    if (!answer) return std::nullopt;
    if (m_faults.visitorPagesMissing) return notFound();
    answer->headers.clear();
    // What the template engine writes for a template file it cannot read (DedeTagParse::LoadTemplate).
    if (m_faults.brokenTemplates)
        answer->body = " /var/www/site/templets/default/" + templet + " Not Found! ";
    return answer;
}

}  // namespace oz::testing
