#include "testing/standin_site.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <ctime>
#include <random>

#include "testing/standin_form.h"
#include "testing/standin_pages.h"
#include "text/characters.h"
#include "text/markers.h"

namespace oz::testing {

namespace {

constexpr const char* kNeutralMessage = "请求已处理，请返回。";
constexpr const char* kBack = "javascript:history.go(-1);";
constexpr const char* kDone = "javascript:;";
constexpr const char* kDedeIdSalt = "1BH21ANI1AGD297L1FF21LN02BGE1DNG";
constexpr auto kCaptchaWindow = std::chrono::seconds(60);  // DedeBIZ: wrong passwords that count
constexpr int kCaptchaAfterErrors = 3;

std::string releaseVersion(StandinRelease release) {
    switch (release) {
        case StandinRelease::DedeCms58:
            return "20210201";
        case StandinRelease::DedeBiz6:
            return "20230630";
        case StandinRelease::DedeCms57:
            break;
    }
    return "20210806";
}

// The digits of a piece of an id list: the real DelArc drops everything else.
int digitsOnly(std::string_view piece) {
    std::string digits;
    for (const char c : piece) {
        if (c >= '0' && c <= '9') digits += c;
    }
    return digits.empty() || digits.size() > 9 ? 0 : std::stoi(digits);
}

// The bytes of a tiny JPEG's start: enough for anyone who looks at the verification image.
constexpr char kImageBytes[] = "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00\xFF\xD9";

std::string twoDigits(int value) { return (value < 10 ? "0" : "") + std::to_string(value); }

std::string dateFolder() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return std::to_string(local.tm_year + 1900) + "/" + twoDigits(local.tm_mon + 1) +
           twoDigits(local.tm_mday);
}

constexpr int kTitleColumnChars = 60;          // dede_archives.title is CHAR(60)
constexpr int kDedeBizTitleColumnChars = 255;  // and VARCHAR(255) on DedeBIZ
constexpr std::size_t kListPageSize = 30;

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
// htmlspecialchars(ENT_QUOTES), then cut to the column's characters: DedeCMS's CHAR(60) keeps no
// trailing space, DedeBIZ's VARCHAR(255) keeps them.
std::string storedTitle(const std::string& sent, int maxBytes, oz::text::Charset charset, bool dedeBiz) {
    std::string stored = htmlEscape(cutTitle(oz::text::replaceAll(sent, "\"", "＂"), maxBytes, charset));
    std::size_t end = 0;
    const int columnChars = dedeBiz ? kDedeBizTitleColumnChars : kTitleColumnChars;
    for (int n = 0; n < columnChars && end < stored.size(); ++n) end = oz::text::nextChar(stored, end);
    stored.resize(end);
    while (!dedeBiz && !stored.empty() && stored.back() == ' ') stored.pop_back();
    return stored;
}

// How content_list.php shows a stored field (DataListCP::RemoveXss): control characters and ","
// ("|" on DedeBIZ) removed, "&#039;" back to "'", then ` ' " ( ) as full-width look-alikes (and
// "," on DedeBIZ). The GBK edition does this on the UTF-8 form with look-alikes written in GBK, so
// converting back fails and the field comes out empty.
std::string listedField(const std::string& stored, bool gbk, bool dedeBiz) {
    const char removed = dedeBiz ? '|' : ',';
    std::string text;
    for (const char c : oz::text::replaceAll(stored, "&#039;", "'")) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x08 || byte == 0x0B || byte == 0x0C || (byte >= 0x0E && byte <= 0x19) || c == removed)
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

std::string todayText() {
    const std::string folder = dateFolder();  // "2026/1209"
    return folder.substr(0, 4) + "-" + folder.substr(5, 2) + "-" + folder.substr(7, 2);
}

std::string trimSlashes(std::string text) {
    while (!text.empty() && text.front() == '/') text.erase(text.begin());
    while (!text.empty() && text.back() == '/') text.pop_back();
    return text;
}

}  // namespace

std::vector<StandinCategory> StandinSite::sampleCategories() {
    return {{1, "新闻中心", 0, "{cmspath}/a/news"},
            {2, "技术文章", 0, "{cmspath}/a/jishu"},
            {3, "国内新闻", 1, "{cmspath}/a/news/guonei"}};
}

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
      m_release(site.release),
      m_version(site.version.empty() ? releaseVersion(site.release) : site.version),
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

SiteAnswer SiteBackEnd::message(const std::string& text, const std::string& gotoUrl, int waitMs) const {
    if (dedeBiz()) return page(dedeBizMessagePage(charsetLabel(), text, gotoUrl, waitMs));
    return page(messagePage(charsetLabel(), text, gotoUrl, waitMs));
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

std::string SiteBackEnd::captchaImage() const {
    switch (m_release) {
        case StandinRelease::DedeCms58:
            return "plus/vdimgck.php";
        case StandinRelease::DedeBiz6:
            return "apps/vdimgck.php";
        case StandinRelease::DedeCms57:
            break;
    }
    return "include/vdimgck.php";
}

SiteAnswer SiteBackEnd::successMessage(const std::string& text, const std::string& gotoUrl,
                                       int waitMs) const {
    if (m_faults.omitSuccessText) return message(kNeutralMessage, kDone);
    return message(text, gotoUrl, waitMs);
}

std::string SiteBackEnd::newSessionId() {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
    static thread_local std::mt19937_64 random{std::random_device{}()};
    std::string id;
    unsigned long long value = random() ^ (++m_sessionCounter * 0x9E3779B97F4A7C15ULL);
    for (int i = 0; i < 26; ++i) {
        if (i == 12) value = random();
        id += kDigits[value & 31];
        value >>= 5;
    }
    return id;
}

SiteBackEnd::Session* SiteBackEnd::session(Context& context) {
    if (context.sessionId.empty()) context.sessionId = cookieValue(context.request.cookies, "PHPSESSID");
    if (context.sessionId.empty()) return nullptr;
    const auto found = m_sessions.find(context.sessionId);
    return found == m_sessions.end() ? nullptr : &found->second;
}

SiteBackEnd::Session& SiteBackEnd::openSession(Context& context) {
    if (Session* known = session(context)) return *known;
    context.sessionId = newSessionId();
    const std::string path = m_sitePath + "/";
    context.setCookies.emplace_back("Set-Cookie", "PHPSESSID=" + context.sessionId + "; path=" + path);
    context.setCookies.emplace_back(
        "Set-Cookie", "_csrf_name_1972fce1=" + newSessionId().substr(0, 24) + "; Max-Age=7200; path=" + path);
    context.setCookies.emplace_back("Set-Cookie", std::string("_csrf_name_1972fce1") + kDedeIdSalt + "=" +
                                                      newSessionId().substr(0, 16) +
                                                      "; Max-Age=7200; path=" + path);
    return m_sessions[context.sessionId];
}

SiteAnswer SiteBackEnd::redirectToLogin(Context& context) {
    openSession(context);
    SiteAnswer answer = page("");
    answer.status = 302;
    answer.contentType = "text/html; charset=utf-8";
    answer.headers.emplace_back("location", "login.php?gotopage=" + phpUrlEncode(context.request.target));
    return answer;
}

std::string SiteBackEnd::expandDir(const std::string& typeDir) const {
    std::string dir = typeDir;
    const std::string marker = "{cmspath}";
    if (dir.starts_with(marker)) dir.replace(0, marker.size(), m_sitePath);
    return dir;
}

const StandinCategory* SiteBackEnd::category(int id) const {
    const auto found = std::find_if(m_categories.begin(), m_categories.end(),
                                    [id](const StandinCategory& c) { return c.id == id; });
    return found == m_categories.end() ? nullptr : &*found;
}

std::vector<std::pair<int, int>> SiteBackEnd::treeOrder() const {
    std::vector<std::pair<int, int>> order;
    // Depth-first from the roots; a category whose parent is unknown counts as a root.
    std::vector<std::pair<int, int>> stack;
    for (auto it = m_categories.rbegin(); it != m_categories.rend(); ++it) {
        if (it->parentId == 0 || !category(it->parentId)) stack.emplace_back(it->id, 0);
    }
    while (!stack.empty()) {
        const auto [id, depth] = stack.back();
        stack.pop_back();
        order.emplace_back(id, depth);
        if (depth > 64) continue;  // a parent cycle in hand-made test data
        for (auto it = m_categories.rbegin(); it != m_categories.rend(); ++it) {
            if (it->parentId == id && it->id != id) stack.emplace_back(it->id, depth + 1);
        }
    }
    return order;
}

std::vector<int> SiteBackEnd::subtree(int id) const {
    std::vector<int> ids;
    if (!category(id)) return ids;
    int rootDepth = -1;
    for (const auto& [entry, depth] : treeOrder()) {
        if (rootDepth < 0) {
            if (entry == id) {
                rootDepth = depth;
                ids.push_back(entry);
            }
        } else if (depth > rootDepth) {
            ids.push_back(entry);
        } else {
            break;
        }
    }
    return ids;
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
    if (request.path == "/" + m_installPrefix + "data/admin/ver.txt") {
        SiteAnswer answer;
        answer.contentType = "text/plain";
        answer.body = m_version;
        answer.isText = false;
        return answer;
    }
    if (request.path == "/" + m_installPrefix + captchaImage()) {
        openSession(context);
        SiteAnswer answer;
        answer.contentType = "image/jpeg";
        answer.headers = {{"Expires", "0"}, {"Cache-Control", "no-cache"}, {"Pragma", "no-cache"}};
        answer.body.assign(kImageBytes, sizeof kImageBytes - 1);
        answer.isText = false;
        return answer;
    }
    if (m_release == StandinRelease::DedeCms57 &&
        request.path == "/" + m_installPrefix + "include/dialog/select_images_post.php") {
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
    if (name == "login.php") {
        if (context.request.method == "POST") return login(context);
        openSession(context);
        if (dedeBiz()) return page(dedeBizLoginPage(charsetLabel(), context.fields.get("gotopage")));
        return page(loginFormPage(charsetLabel(), context.fields.get("gotopage"), "../" + captchaImage()));
    }
    const Session* current = session(context);
    if (!current || !current->loggedIn) return redirectToLogin(context);

    if (name == "index.php") return page(adminIndexPage(charsetLabel()));
    if (name == "dialog/select_images_post.php" && m_release != StandinRelease::DedeCms57) {
        return pictureUpload(context);
    }
    if (name == "article_add.php") return articleAdd(context);
    if (name == "task_do.php") return taskDo(context);
    if (name == "makehtml_list_action.php") return listAction(context);
    if (name == "makehtml_rss_action.php") return dedeBiz() ? notFound() : rssAction(context);
    if (name == "makehtml_all.php") return makeAll(context);
    if (name == "makehtml_homepage.php") return homePageAction(context);
    if (name == "makehtml_map.php") {
        if (dedeBiz()) return notFound();
        const std::string file =
            context.fields.get("dopost") == "rss" ? "/data/rssmap.html" : "/data/sitemap.html";
        if (m_faults.omitSuccessText) return message(kNeutralMessage, kDone);
        SiteAnswer answer = page("<a href='" + m_sitePath + file +
                                 "' target='_blank'>成功更新文件: " + m_sitePath + file + " 浏览...</a>");
        return answer;
    }
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

SiteAnswer SiteBackEnd::login(Context& context) {
    const char* captchaRefused = dedeBiz() ? "验证码不正确" : "验证码不正确!";
    Session* current = session(context);
    if (!current) {
        openSession(context);
        return message(captchaRefused, "login.php");
    }
    const std::string user = context.fields.get("userid");
    LoginErrors& errors = m_loginErrors[user];
    const auto now = std::chrono::steady_clock::now();
    const bool captchaAsked = m_faults.loginCaptcha || (dedeBiz() && errors.count >= kCaptchaAfterErrors &&
                                                        now - errors.last < kCaptchaWindow);
    if (captchaAsked && context.fields.get("validate").empty()) return message(captchaRefused, "login.php");
    const auto account = std::find_if(m_accounts.begin(), m_accounts.end(),
                                      [&user](const auto& known) { return known.first == user; });
    if (account == m_accounts.end()) {
        return message(dedeBiz() ? "管理员账号错误" : "你的用户名不存在!", "login.php");
    }
    if (m_faults.refuseLogin || context.fields.get("pwd") != account->second) {
        ++errors.count;
        errors.last = now;
        return message(dedeBiz() ? "管理员密码错误" : "你的密码错误!", "login.php");
    }
    errors.count = 0;

    current->loggedIn = true;
    current->user = user;
    current->articles = 0;
    ++m_loginCount;
    const std::string path = "; Max-Age=86400; path=" + m_sitePath + "/";
    context.setCookies.emplace_back("Set-Cookie", "DedeUserID=1" + path);
    context.setCookies.emplace_back("Set-Cookie",
                                    std::string("DedeUserID") + kDedeIdSalt + "=a8bff47a47734958" + path);
    context.setCookies.emplace_back("Set-Cookie",
                                    "DedeLoginTime=" + std::to_string(std::time(nullptr)) + path);
    std::string gotoPage = context.fields.get("gotopage");
    if (gotoPage.empty()) gotoPage = m_sitePath + "/" + m_adminDir + "/index.php";
    return successMessage(dedeBiz() ? "正在登录后台管理，请稍等" : "成功登录，正在转向管理管理主页！",
                          gotoPage);
}

SiteAnswer SiteBackEnd::articleAdd(Context& context) {
    if (context.request.method != "POST" || context.fields.get("dopost") != "save") {
        if (Session* current = session(context)) current->addFormOpened = true;
        std::vector<CategoryOption> options;
        for (const auto& [id, depth] : treeOrder()) options.push_back({id, depth, category(id)->name});
        return page(articleFormPage(charsetLabel(), options,
                                    dedeBiz() ? CategoryIndent{"└", " "} : CategoryIndent{}));
    }
    if (context.fields.get("channelid") != "1") {
        return message(dedeBiz() ? "文档为非指定类型，请检查您发布文档是否正确"
                                 : "文档为非指定的类型，请检查你发布内容的表单是否合法！",
                       kBack);
    }
    const int typeId = context.fields.getInt("typeid");
    if (typeId <= 0) return message(dedeBiz() ? "请选择文档栏目" : "请指定文档的栏目！", kBack);
    const StandinCategory* target = category(typeId);
    // DedeBIZ reads the unknown category's model and throws.
    if (!target && dedeBiz()) return serverError();
    if (!target) return message("你所选择的栏目与当前模型不相符，请选择白色的选项！", kBack);

    StoredArticle article;
    article.site = m_prefix;
    article.typeId = typeId;
    article.fields = context.bodyFields.all();
    if (const Session* owner = session(context)) article.user = owner->user;
    article.title = storedTitle(context.bodyFields.get("title"), m_titleMaxBytes, m_charset, dedeBiz());
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
    // DedeBIZ counts the session's uploads (count(null) on PHP 8) after storing the article.
    const bool failsAfterStoring = dedeBiz() && (!current || !current->addFormOpened);
    if (current && m_faults.dropSessionAfterArticles > 0 &&
        ++current->articles >= m_faults.dropSessionAfterArticles) {
        m_sessions.erase(context.sessionId);
    }
    if (failsAfterStoring) return serverError();
    const SavedArticleLinks links{id, typeId, url, m_progressFrame, m_tagFrames};
    SiteAnswer answer = page(dedeBiz() ? dedeBizArticleSavedPage(charsetLabel(), links)
                                       : articleSavedPage(charsetLabel(), links));
    // A back end with its own success page: the article is stored, the usual text is missing.
    if (m_faults.omitSuccessText) {
        answer.body = oz::text::replaceAll(answer.body, "<u>查看文章</u>", "<u>浏览文章</u>");
        answer.body = oz::text::replaceAll(answer.body, ">浏览文档</a>", ">浏览文章</a>");
    }
    return spoiledIfAsked(std::move(answer));
}

SiteAnswer SiteBackEnd::spoiledIfAsked(SiteAnswer answer) {
    if (m_faults.storedAnswer != StoredAnswer::Page &&
        ++m_storedForFaults % std::max(1, m_faults.storedAnswerEvery) == 0) {
        answer.storedAnswer = m_faults.storedAnswer;
    }
    return answer;
}

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
        rows.push_back({article->id, article->typeId, type ? type->name : std::string(),
                        listedField(article->title, m_charset == oz::text::Charset::Gbk, dedeBiz()),
                        todayText(), article->user});
    }
    return page(dedeBiz() ? dedeBizContentListPage(charsetLabel(), keyword, rows)
                          : contentListPage(charsetLabel(), keyword, rows));
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

SiteAnswer SiteBackEnd::taskDo(Context& context) {
    if (m_faults.endlessChain) {
        const int round = context.fields.getInt("round") + 1;
        std::string next = "task_do.php?" + context.request.query;
        const std::size_t roundAt = next.find("&round=");
        if (roundAt != std::string::npos) next.erase(roundAt);
        return message("正在更新相关内容，继续进行操作！", next + "&round=" + std::to_string(round), 100);
    }
    if (dedeBiz()) {
        return successMessage(
            context.fields.get("dopost") == "makeprenext" ? "完成所有上下篇文档更新任务" : "完成所有更新任务",
            kDone);
    }
    if (context.fields.get("dopost") == "makeprenext") {
        return successMessage("<b>完成上下篇文档更新任务！完成所有更新任务！</b>", kDone);
    }
    return successMessage("<b>完成所有更新任务！</b>", kDone);
}

// makehtml_list_action.php: the categories of its list one after the other (pageno), each made at
// once or, with more list pages than maxpagesize, in chunks (mkpage); every answer but the last
// links to the next step, as the real one does.
SiteAnswer SiteBackEnd::listAction(Context& context) {
    const FormFields& fields = context.fields;
    const std::string goType = fields.get("gotype");
    const int typeId = fields.getInt("typeid");
    const int upNext = fields.has("upnext") ? fields.getInt("upnext") : 1;
    const int pageNo = std::max(0, fields.getInt("pageno"));
    int mkPage = std::max(1, fields.getInt("mkpage"));
    const int maxPageSize = fields.getInt("maxpagesize") > 0 ? fields.getInt("maxpagesize") : 50;
    const std::string upPage = fields.get("uppage").empty() ? "0" : fields.get("uppage");
    std::vector<int> ids;
    if (typeId == 0) {
        for (const StandinCategory& c : m_categories) ids.push_back(c.id);
    } else if (upNext == 1) {
        ids = subtree(typeId);
    } else if (category(typeId)) {
        ids.push_back(typeId);
    }
    const auto count = static_cast<int>(ids.size());
    // The link to a step: a category of the list (pageno), and a chunk of its pages (mkpage; 0: none).
    const auto step = [&](int categoryNo, int chunkPage) {
        return "makehtml_list_action.php?gotype=" + goType + "&uppage=" + upPage +
               (chunkPage > 0 ? "&mkpage=" + std::to_string(chunkPage) : std::string()) +
               "&maxpagesize=" + std::to_string(maxPageSize) + "&typeid=" + std::to_string(typeId) +
               "&pageno=" + std::to_string(categoryNo) + "&isremote=0&serviterm=";
    };
    const auto goesOn = [&](int made, const std::string& next, bool wholeCategory) {
        const StandinCategory* madeCategory = category(made);
        if (dedeBiz()) {
            return successMessage("更新" + (madeCategory ? madeCategory->name : std::string()) + "栏目[id：" +
                                      std::to_string(made) + "]，继续更新栏目",
                                  next, 100);
        }
        return successMessage(wholeCategory ? "成功创建栏目：" + std::to_string(made) + "，继续进行操作！"
                                            : "栏目：" + std::to_string(made) + "，继续进行操作...",
                              next, 100);
    };
    if (m_faults.endlessChain) {
        const int made = count == 0 ? 0 : ids[static_cast<std::size_t>(pageNo % count)];
        return goesOn(made, step(pageNo + 1, 0), true);
    }
    if (pageNo >= count && goType.empty()) {
        return successMessage(dedeBiz() ? "完成所有栏目更新" : "完成所有列表更新！", kDone);
    }
    bool finished = true;
    int tid = 0;
    int pagesMade = 0;
    if (pageNo < count) {
        tid = ids[static_cast<std::size_t>(pageNo)];
        const StandinCategory* made = category(tid);
        if (made) madeList(tid);
        const int pages = made ? std::max(1, made->listPages) : 1;
        pagesMade = pages;
        if (pages > maxPageSize) {
            pagesMade = std::min(maxPageSize, pages - mkPage + 1);
            mkPage += maxPageSize;
            finished = mkPage >= pages + 1;
        }
    }
    const auto worked = [&](SiteAnswer answer) {
        answer.workMicros = pagesMade * m_faults.listPageMicros;
        return answer;
    };
    if (pageNo + 1 >= count && finished) {
        if (goType == "mkallct") {
            return worked(successMessage(
                dedeBiz() ? "完成所有栏目更新，数据已优化" : "完成所有栏目列表更新，现在作最后数据优化！",
                "makehtml_all.php?action=make&step=10"));
        }
        std::string text = dedeBiz() ? "完成所有栏目更新" : "完成所有栏目列表更新！";
        if (const StandinCategory* made = category(tid)) {
            text += std::string(dedeBiz() ? "，" : "") + "<a href='" + expandDir(made->typeDir) +
                    "/index.html' target='_blank'>" + (dedeBiz() ? "点击浏览" : "浏览栏目") + "</a>";
        }
        return worked(successMessage(text, kDone));
    }
    return worked(finished ? goesOn(tid, step(pageNo + 1, 0), true)
                           : goesOn(tid, step(pageNo, mkPage), false));
}

SiteAnswer SiteBackEnd::rssAction(Context& context) {
    const int tid = context.fields.getInt("tid");
    const StandinCategory* next = nullptr;
    for (const StandinCategory& c : m_categories) {
        if (c.id > tid) {
            next = &c;
            break;
        }
    }
    if (!next && m_faults.endlessChain && !m_categories.empty()) next = &m_categories.front();
    if (!next && !m_faults.endlessChain) {
        if (m_faults.omitSuccessText) return message(kNeutralMessage, kDone);
        return page("完成所有文件更新！");
    }
    const std::string id = std::to_string(next ? next->id : tid + 1);
    return successMessage("成功更新" + m_sitePath + "/data/rss/" + id + ".xml，继续进行操作！",
                          "makehtml_rss_action.php?tid=" + id + "&maxrecord=50&isremote=0&serviterm=", 100);
}

SiteAnswer SiteBackEnd::makeAll(Context& context) {
    if (context.fields.get("action") != "make") return message("一键更新网站", kDone);
    const int step = context.fields.getInt("step");
    const auto stepUrl = [](int next) {
        return "makehtml_all.php?action=make&step=" + std::to_string(next) + "&uptype=mkall&mkvalue=0";
    };
    // The messages of steps 2, 3 and 4, of the end and of the start, as each family words them.
    static constexpr std::array<const char*, 5> kDedeCmsTexts = {
        "完成文档HTML更新任务，现在开始进行主页更新...", "完成更新所有文档，现在开始更新栏目页！",
        "不需要进行初处理，现更新所有栏目！", "完成所有文件的更新！", "完成数据优化，现在开始更新文档！"};
    static constexpr std::array<const char*, 5> kDedeBizTexts = {
        "完成所有文档更新，开始更新首页", "完成所有文档更新，开始更新所有栏目",
        "不需要进行初处理，开始更新所有栏目", "完成所有栏目文档更新", "完成数据优化，开始更新文档"};
    const auto& texts = dedeBiz() ? kDedeBizTexts : kDedeCmsTexts;
    switch (step) {
        case 2:
            return successMessage(texts[0], stepUrl(3));
        case 3:
            return successMessage(texts[1], stepUrl(4));
        case 4:
            return successMessage(texts[2], "makehtml_list_action.php?gotype=mkallct");
        case 10:
            if (!m_faults.endlessChain) return successMessage(texts[3], kDone);
            [[fallthrough]];
        default:
            return successMessage(texts[4], stepUrl(2));
    }
}

SiteAnswer SiteBackEnd::homePageAction(Context& context) {
    if (context.fields.get("dopost") != "make") {
        return page(homePageForm(charsetLabel(), m_homeTemplet, m_homePosition));
    }
    const std::string position = context.fields.get("position");
    if (context.fields.get("saveset") == "1") {
        m_homeTemplet = context.fields.get("templet");
        m_homePosition = position;
    }
    madeHomePage();
    if (m_faults.omitSuccessText) return message(kNeutralMessage, kDone);
    if (dedeBiz())
        return message("更新静态首页，<a href='" + position + "' target='_blank'>点击浏览</a>", kDone);
    return page("成功更新主页HTML：/var/www/site" + m_sitePath + "/" + m_adminDir + "/" + position +
                "<br /><a href='" + position + "' target='_blank'>浏览...</a><br />");
}

SiteAnswer SiteBackEnd::catalogEdit(Context& context) {
    const StandinCategory* edited = category(context.fields.getInt("id"));
    if (!edited) return dedeBiz() ? serverError() : message("栏目不存在！", kBack);
    int topId = 0;
    // Bounded: hand-made test data may hold a parent cycle.
    const StandinCategory* up = edited;
    for (int level = 0; up && up->parentId != 0 && level < 64; ++level) {
        topId = up->parentId;
        up = category(up->parentId);
    }
    return page(catalogEditPage(charsetLabel(), edited->id, topId, edited->name, edited->typeDir));
}

SiteAnswer SiteBackEnd::catalogAdd(Context& context) {
    const FormFields& fields = context.fields;
    if (fields.get("dopost") != "save") return message("增加栏目", kDone);
    const std::string name = fields.get("typename");
    if (name.empty()) return message("栏目名称不能为空！", kBack);
    const int parentId = fields.getInt("reid");
    if (parentId != 0 && !category(parentId)) return message("父栏目不存在！", kBack);

    StandinCategory added;
    added.id = m_nextCategoryId++;
    added.name = name;
    added.parentId = parentId;
    std::string nextDir = fields.get("nextdir");
    if (nextDir.empty()) nextDir = "{cmspath}/a";
    const std::string typeDir = fields.get("typedir");
    if (typeDir.empty()) {
        added.typeDir = nextDir + "/c" + std::to_string(added.id);
    } else if (fields.get("referpath") == "parent") {
        added.typeDir = nextDir + "/" + trimSlashes(typeDir);
    } else {
        added.typeDir = typeDir;
    }
    m_categories.push_back(added);
    return spoiledIfAsked(
        successMessage(dedeBiz() ? "成功创建一个栏目" : "成功创建一个分类！", "catalog_main.php"));
}

SiteAnswer SiteBackEnd::catalogDel(Context& context) {
    if (context.fields.get("dopost") != "ok") return message("你确定要删除此栏目吗？", kDone);
    if (dedeBiz()) {
        // Its deletion throws at a table the install never made, after deleting the category and
        // its articles but before its children; an unknown id throws before anything.
        const int id = context.fields.getInt("id");
        if (category(id) != nullptr) {
            std::erase_if(m_categories, [id](const StandinCategory& c) { return c.id == id; });
            for (StoredArticle& article : m_articles) {
                if (article.typeId == id) article.deleted = true;
            }
        }
        return serverError();
    }
    const std::vector<int> removed = subtree(context.fields.getInt("id"));
    const bool deleteArticles = context.fields.get("delfile") == "yes";
    for (const int id : removed) {
        std::erase_if(m_categories, [id](const StandinCategory& c) { return c.id == id; });
        if (!deleteArticles) continue;
        for (StoredArticle& article : m_articles) {
            if (article.typeId == id) article.deleted = true;
        }
    }
    // The real back end answers the same whether or not the category existed.
    return successMessage("成功删除一个栏目！", "catalog_main.php");
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
    const char separator = m_release == StandinRelease::DedeCms58 ? ',' : '`';
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(separator, start), list.size());
        const int id = digitsOnly(std::string_view(list).substr(start, end - start));
        bool held = false;
        for (StoredArticle& article : m_articles) {
            if (article.id == id && id > 0) {
                article.deleted = true;
                held = true;
            }
        }
        // DedeBIZ reads the article's model before deleting and throws when it has none.
        if (dedeBiz() && !held && id > 0) return serverError();
        start = end + 1;
    }
    return successMessage(dedeBiz() ? "成功删除指定文档" : "成功删除指定的文档！", "content_list.php");
}

}  // namespace oz::testing
