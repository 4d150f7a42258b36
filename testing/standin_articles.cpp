// The stand-in's add-article page (article_add.php): the form, the stored article with its title
// as the column keeps it, and the stores a gateway's time-out leaves for later.

#include <algorithm>
#include <chrono>

#include "testing/standin_site.h"
#include "testing/standin_site_common.h"
#include "text/characters.h"
#include "text/markers.h"

namespace oz::testing {

namespace {

// article_add.php's cut of a title to $cfg_title_maxlen bytes. The GBK edition's cn_substr keeps
// the whole characters that fit; the UTF-8 edition's cn_substr_utf8 adds a character while the
// text so far is shorter than the limit plus that character's length.
std::string cutTitle(const std::string& title, int maxBytes, oz::text::Charset charset) {
    std::size_t end = 0;
    long long bytes = 0;
    while (end < title.size()) {
        const std::size_t next = oz::text::nextChar(title, end);
        const long long size =
            charset == oz::text::Charset::Gbk && next - end > 1 ? 2 : static_cast<long long>(next - end);
        if (charset == oz::text::Charset::Gbk ? bytes + size > maxBytes : bytes >= maxBytes + size) break;
        bytes += size;
        end = next;
    }
    return title.substr(0, end);
}

// The title column as article_add.php fills it: '"' replaced by '＂', cut, escaped by
// htmlspecialchars(ENT_QUOTES), then cut to the column's characters; a CHAR column keeps no
// trailing space.
std::string storedTitle(const std::string& sent, int maxBytes, oz::text::Charset charset,
                        const StandinFamily& family) {
    std::string stored = htmlEscape(cutTitle(oz::text::replaceAll(sent, "\"", "＂"), maxBytes, charset));
    std::size_t end = 0;
    for (int n = 0; n < family.titleColumnChars && end < stored.size(); ++n) {
        end = oz::text::nextChar(stored, end);
    }
    stored.resize(end);
    while (family.titleColumnFixed && !stored.empty() && stored.back() == ' ') stored.pop_back();
    return stored;
}

}  // namespace

std::int64_t SiteBackEnd::nowMs() const {
    if (m_clock != nullptr) return m_clock->tickMs();
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void SiteBackEnd::setClock(const oz::text::Clock* clock) {
    std::lock_guard lock(m_mutex);
    m_clock = clock;
}

void SiteBackEnd::storeDueArticles() {
    const std::int64_t now = nowMs();
    while (!m_lateStores.empty() && m_lateStores.front().dueMs <= now) {
        storeArticle(std::move(m_lateStores.front().article));
        m_lateStores.erase(m_lateStores.begin());
    }
}

const StoredArticle& SiteBackEnd::storeArticle(StoredArticle article) {
    article.id = m_nextArticleId++;
    const StandinCategory* target = category(article.typeId);
    std::string fileName = article.field("filename");
    const std::string typeDir = target ? expandDir(target->typeDir) : m_sitePath + "/a";
    if (fileName.empty()) {
        article.url = typeDir + "/" + dateFolder() + "/" + std::to_string(article.id) + ".html";
    } else {
        if (fileName.find('.') == std::string::npos) fileName += ".html";
        article.url = typeDir + "/" + trimSlashes(fileName);
    }
    m_articleByUrl[article.url] = m_articles.size();
    m_articles.push_back(std::move(article));
    return m_articles.back();
}

SiteAnswer SiteBackEnd::articleAdd(Context& context) {
    if (context.request.method != "POST" || context.fields.get("dopost") != "save") {
        if (Session* current = session(context)) current->addFormOpened = true;
        std::vector<CategoryOption> options;
        for (const auto& [id, depth] : treeOrder()) options.push_back({id, depth, category(id)->name});
        return page(articleFormPage(charsetLabel(), options, m_family.categoryIndent));
    }
    if (context.fields.get("channelid") != "1") return message(m_family.wrongChannel, kBack);
    const int typeId = context.fields.getInt("typeid");
    if (typeId <= 0) return message(m_family.noCategory, kBack);
    const StandinCategory* target = category(typeId);
    if (!target && m_family.unknownCategoryFails) return serverError();
    if (!target) return message(m_family.unknownCategory, kBack);

    StoredArticle article;
    article.site = m_prefix;
    article.typeId = typeId;
    article.fields = context.bodyFields.all();
    if (const Session* owner = session(context)) article.user = owner->user;
    article.title = storedTitle(context.bodyFields.get("title"), m_titleMaxBytes, m_charset, m_family);
    // PHP behind a gateway that gave up goes on and stores the article later, or not at all.
    const bool spoiled = m_faults.storedAnswer != StoredAnswer::Page &&
                         (m_storedForFaults + 1) % std::max(1, m_faults.storedAnswerEvery) == 0;
    if (spoiled && m_faults.storeAfterMs != 0) {
        ++m_storedForFaults;
        if (m_faults.storeAfterMs > 0)
            m_lateStores.push_back({nowMs() + m_faults.storeAfterMs, std::move(article)});
        SiteAnswer answer = page("");
        answer.storedAnswer = m_faults.storedAnswer;
        return answer;
    }
    const StoredArticle& stored = storeArticle(std::move(article));
    const int id = stored.id;
    const std::string url = stored.url;
    Session* current = session(context);
    // The session's upload list is read after the article is stored (count(null) on PHP 8).
    const bool failsAfterStoring = m_family.openAddFormFirst && (!current || !current->addFormOpened);
    if (current && m_faults.dropSessionAfterArticles > 0 &&
        ++current->articles >= m_faults.dropSessionAfterArticles) {
        m_sessions.erase(context.sessionId);
    }
    if (failsAfterStoring) return serverError();
    const SavedArticleLinks links{id, typeId, url, m_progressFrame, m_tagFrames};
    SiteAnswer answer = page(m_family.articleSavedPage(charsetLabel(), links));
    // A back end with its own success page: the article is stored, the usual text is missing.
    if (m_faults.omitSuccessText) {
        answer.body = oz::text::replaceAll(answer.body, m_family.articleLink, m_family.articleLinkReworded);
    }
    return spoiledIfAsked(std::move(answer));
}

}  // namespace oz::testing
