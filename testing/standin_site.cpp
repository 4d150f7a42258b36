// A stand-in site: its setup, its state as tests read it, the routing of a request to the page
// that answers it, and the answers every page shares. The pages themselves are in the files named
// in standin_site.h; what differs between releases is in standin_family.

#include "testing/standin_site.h"

#include <algorithm>

#include "testing/standin_form.h"
#include "testing/standin_pages.h"
#include "testing/standin_site_common.h"

namespace oz::testing {

namespace {

// The bytes of a tiny JPEG's start: enough for anyone who looks at the verification image.
constexpr char kImageBytes[] = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9";

}  // namespace

std::string SiteBackEnd::validate(const StandinSite& site) {
    if (site.charset != oz::text::Charset::Utf8 && site.charset != oz::text::Charset::Gbk) {
        return "charset must be UTF-8 or GBK";
    }
    if (trimSlashes(site.adminDir).empty()) return "the back-end folder is empty";
    if (site.prefix != trimSlashes(site.prefix)) return "the prefix has surrounding slashes";
    for (const StandinCategory& category : site.categories) {
        if (category.id <= 0) return "a category id is not positive";
        const auto sameId =
            std::count_if(site.categories.begin(), site.categories.end(),
                          [&](const StandinCategory& other) { return other.id == category.id; });
        if (sameId > 1) return "two categories share an id";
    }
    return {};
}

SiteBackEnd::SiteBackEnd(StandinSite site)
    : m_prefix(site.prefix),
      m_sitePath(site.prefix.empty() ? std::string() : "/" + site.prefix),
      m_adminDir(trimSlashes(site.adminDir)),
      m_installPrefix(m_adminDir.find('/') == std::string::npos
                          ? std::string()
                          : m_adminDir.substr(0, m_adminDir.find('/') + 1)),
      m_accounts([&site] {
          std::vector<std::pair<std::string, std::string>> accounts{{site.user, site.password}};
          accounts.insert(accounts.end(), site.moreAccounts.begin(), site.moreAccounts.end());
          return accounts;
      }()),
      m_charset(site.charset),
      m_progressFrame(site.progressFrame),
      m_tagFrames(site.tagFrames),
      m_titleMaxBytes(site.titleMaxBytes),
      m_family(standinFamily(site.release)),
      m_version(site.version.empty() ? std::string(m_family.version) : site.version),
      m_uploadMaxBytes(site.uploadMaxBytes),
      m_cookieEncode(site.cookieEncode.empty() ? "Standin" + site.prefix + "CookieKey" : site.cookieEncode),
      m_faults(site.faults),
      m_categories(std::move(site.categories)),
      m_homeTemplet(std::move(site.homeTemplet)),
      m_homePosition(std::move(site.homePosition)) {
    std::sort(m_categories.begin(), m_categories.end(),
              [](const StandinCategory& a, const StandinCategory& b) { return a.id < b.id; });
    if (!m_categories.empty()) m_nextCategoryId = m_categories.back().id + 1;
}

StandinFaults SiteBackEnd::faults() const {
    std::lock_guard lock(m_mutex);
    return m_faults;
}

void SiteBackEnd::setFaults(const StandinFaults& faults) {
    std::lock_guard lock(m_mutex);
    m_faults = faults;
}

std::vector<StandinCategory> SiteBackEnd::categories() const {
    std::lock_guard lock(m_mutex);
    return m_categories;
}

std::vector<StoredArticle> SiteBackEnd::articles() {
    std::lock_guard lock(m_mutex);
    storeDueArticles();
    return m_articles;
}

std::size_t SiteBackEnd::articleCount() {
    std::lock_guard lock(m_mutex);
    storeDueArticles();
    return static_cast<std::size_t>(std::count_if(m_articles.begin(), m_articles.end(),
                                                  [](const StoredArticle& a) { return !a.deleted; }));
}

int SiteBackEnd::loginCount() const {
    std::lock_guard lock(m_mutex);
    return m_loginCount;
}

std::pair<std::string, std::string> SiteBackEnd::homePage() const {
    std::lock_guard lock(m_mutex);
    return {m_homeTemplet, m_homePosition};
}

SiteAnswer SiteBackEnd::handle(const SiteRequest& request) {
    Context context{request, {}, {}, {}, {}};
    context.fields.parse(request.query, m_charset);
    if (request.method == "POST") {
        context.bodyFields.parse(request.body, m_charset);
        context.fields.append(context.bodyFields);
    }
    SiteAnswer answer;
    {
        std::lock_guard lock(m_mutex);
        storeDueArticles();
        answer = dispatch(context);
    }
    for (auto& cookie : context.setCookies) answer.headers.push_back(std::move(cookie));
    if (answer.isText) {
        if (m_charset == oz::text::Charset::Gbk) answer.body = oz::text::encodeLossy(answer.body, m_charset);
        answer.isText = false;
    }
    return answer;
}

SiteAnswer SiteBackEnd::dispatch(Context& context) {
    const SiteRequest& request = context.request;
    const std::string admin = "/" + m_adminDir;
    if (request.path == admin) {
        SiteAnswer answer;
        answer.status = 301;
        const std::string location = "http://" + request.host + m_sitePath + admin + "/";
        answer.contentType = "text/html; charset=iso-8859-1";
        answer.headers.emplace_back("Location", location);
        answer.body = movedPermanentlyPage(location);
        return answer;
    }
    const std::string install = "/" + m_installPrefix;
    if (request.path == install + "data/admin/ver.txt") {
        SiteAnswer answer;
        answer.contentType = "text/plain";
        answer.body = m_version;
        answer.isText = false;
        return answer;
    }
    if (request.path == install + std::string(m_family.captchaImage)) {
        openSession(context);
        SiteAnswer answer;
        answer.contentType = "image/jpeg";
        answer.headers = {{"Expires", "0"}, {"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}};
        answer.body.assign(kImageBytes, sizeof kImageBytes - 1);
        answer.isText = false;
        return answer;
    }
    if (m_family.uploadUnderInclude && request.path == install + "include/dialog/select_images_post.php") {
        return pictureUpload(context);
    }
    if (request.path.starts_with(admin + "/")) {
        std::string name = request.path.substr(admin.size() + 1);
        if (name.empty()) name = "index.php";
        return adminPage(context, name);
    }
    if (request.method == "GET") {
        SiteAnswer picture;
        if (storedUpload(request.path, picture)) return picture;
        if (std::optional<SiteAnswer> answer = visitorPage(request)) return *answer;
    }
    return notFound();
}

SiteAnswer SiteBackEnd::adminPage(Context& context, const std::string& name) {
    if (name == "login.php") return loginPage(context);
    const Session* current = session(context);
    if (!current || !current->loggedIn) return redirectToLogin(context);

    if (name == "index.php") return page(adminIndexPage(charsetLabel()));
    if (name == "dialog/select_images_post.php" && !m_family.uploadUnderInclude)
        return pictureUpload(context);
    if (name == "article_add.php") return articleAdd(context);
    if (name == "task_do.php") return taskDo(context);
    if (name == "makehtml_list_action.php") return listAction(context);
    if (name == "makehtml_rss_action.php") return m_family.rssPages ? rssAction(context) : notFound();
    if (name == "makehtml_all.php") return makeAll(context);
    if (name == "makehtml_homepage.php") return homePageAction(context);
    if (name == "makehtml_map.php") return siteMapAction(context);
    if (name == "makehtml_xmlpage.php") {
        return page(mapPageForm(charsetLabel(), "XML地图", "default/sitemap_xml.htm", "../sitemap.xml"));
    }
    if (name == "makehtml_txtpage.php") {
        return page(mapPageForm(charsetLabel(), "TXT地图", "default/sitemap_txt.htm", "../sitemap.txt"));
    }
    if (name == "sys_cache_up.php" || name == "map.php" || name == "makehtml_tag_action_index.php" ||
        name == "templets_one_edit.php" || name == "makehtml_freelist_action.php" ||
        name == "makehtml_sitemap.php") {
        return successMessage("完成所有更新任务！", kDone);
    }
    if (name == "catalog_edit.php") return catalogEdit(context);
    if (name == "catalog_add.php") return catalogAdd(context);
    if (name == "catalog_del.php") return catalogDel(context);
    if (name == "archives_do.php") return archivesDo(context);
    if (name == "content_list.php") return contentList(context);
    if (name == "article_edit.php") return articleEdit(context);
    if (name == "sys_info.php") return systemSettings();
    return notFound();
}

SiteAnswer SiteBackEnd::systemSettings() {
    return page(
        "<html><head><title>系统配置参数</title></head><body><table>\r\n<tr><td>文档标题最大长度</td>"
        "<td align=\"left\" style=\"padding:3px;\"><input type='text' name='edit___cfg_title_maxlen' "
        "id='edit___cfg_title_maxlen' value='" +
        std::to_string(m_titleMaxBytes) +
        "' style='width:30%'></td>\r\n<td>cfg_title_maxlen</td></tr>\r\n<tr><td>cookie加密码</td><td "
        "align=\"left\" style=\"padding:3px;\"><input type='text' name='edit___cfg_cookie_encode' "
        "id='edit___cfg_cookie_encode' value=\"" +
        m_cookieEncode +
        "\" style='width:80%'></td>\r\n<td>cfg_cookie_encode</td></tr>\r\n</table></body></html>\r\n");
}

std::string SiteBackEnd::charsetLabel() const {
    return m_charset == oz::text::Charset::Gbk ? "gb2312" : "utf-8";
}

SiteAnswer SiteBackEnd::page(const std::string& utf8Body) const {
    SiteAnswer answer;
    answer.contentType = "text/html; charset=" + charsetLabel();
    answer.headers = {
        {"Expires", "Thu, 19 Nov 1981 08:52:00 GMT"}, {"Cache-Control", "private"}, {"Pragma", "no-cache"}};
    answer.body = utf8Body;
    return answer;
}

SiteAnswer SiteBackEnd::message(std::string_view text, std::string_view gotoUrl, int waitMs) const {
    return page(m_family.messagePage(charsetLabel(), text, gotoUrl, waitMs));
}

SiteAnswer SiteBackEnd::successMessage(std::string_view text, std::string_view gotoUrl, int waitMs) const {
    if (m_faults.omitSuccessText) return message(kNeutralMessage, kDone);
    return message(text, gotoUrl, waitMs);
}

SiteAnswer SiteBackEnd::spoiledIfAsked(SiteAnswer answer) {
    if (m_faults.storedAnswer != StoredAnswer::Page &&
        ++m_storedForFaults % std::max(1, m_faults.storedAnswerEvery) == 0) {
        answer.storedAnswer = m_faults.storedAnswer;
    }
    return answer;
}

SiteAnswer SiteBackEnd::notFound() {
    SiteAnswer answer;
    answer.status = 404;
    answer.contentType = "text/html; charset=iso-8859-1";
    answer.body = "<html><head><title>404 Not Found</title></head><body><h1>Not Found</h1></body></html>\n";
    return answer;
}

SiteAnswer SiteBackEnd::serverError() {
    SiteAnswer answer;
    answer.status = 500;
    answer.contentType = "text/html; charset=UTF-8";
    return answer;
}

}  // namespace oz::testing
