#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "backend/admin_session.h"
#include "backend/backend_context.h"
#include "backend/stored_title.h"
#include "config/site_config.h"

// The back ends the program drives, described once: DedeCMS (5.7 SP1, SP2, 5.7.x and the 5.8
// betas) and its open successor DedeBIZ V6. They take the same requests but answer with their own
// texts and page forms, keep some pages elsewhere and lack others. Every action reads what it
// needs from the site's family here instead of holding texts of its own.
namespace oz::backend {

enum class FamilyId { DedeCms, DedeBiz };

struct BackendFamily {
    FamilyId id;
    std::string_view name;         // "DedeCMS", "DedeBIZ V6"
    std::string_view adminFolder;  // the back-end folder a fresh install has
    // Below the install folder; used when the login page does not name its own.
    std::string_view captchaImage;
    std::string_view dynamicView;  // the page that shows any article by id ("?aid=N")

    // The message page (ShowMsg): its title, and what the write before the message holds.
    std::array<std::string_view, 2> messageTitles;
    std::string_view messageBox;
    // The text of the link that continues a chain of progress pages.
    std::string_view continuationText;

    // Login: what an accepted login says, the refusals no retry can mend (password, user name,
    // both missing), and the verification-code refusal with what the operator can do about it.
    std::string_view loginDone;
    std::array<std::string_view, 3> accountRefusals;
    std::string_view captchaRefused;
    std::string_view captchaHint;

    // What the answer of a stored article, created or deleted category, deleted articles and a
    // made home page holds. The article's page is linked by the anchor that holds articleLink.
    std::string_view articleStored;
    std::string_view articleLink;
    // The element of the success page that lists the links after a stored article: its tag and
    // one attribute with its value.
    std::string_view linkListTag;
    std::string_view linkListAttribute;
    std::string_view linkListValue;
    std::string_view categoryCreated;
    std::string_view categoryDeleted;
    std::string_view articlesDeleted;
    std::string_view homePageMade;

    // The list action (makehtml_list_action.php): its end texts, the text of a page that goes on,
    // and the markers around the category a page made.
    std::array<std::string_view, 2> listDone;
    std::string_view listProgress;
    std::string_view listMadeStart;
    std::string_view listMadeEnd;
    // The marker before the category on any page of the list action that goes on, a chunk of a
    // category ("栏目：2，继续进行操作...") or a whole one; it ends at listMadeEnd.
    std::string_view listWorkStart;
    bool rssPages;             // makehtml_rss_action.php exists
    bool mapPages;             // makehtml_map.php (site and RSS maps) exists
    std::string_view allDone;  // the last page of the update-everything action (makehtml_all.php)
    // The frames of the stored article's page: the neighbouring articles, and the tags ("": none).
    std::string_view nextArticleFrame;
    std::string_view tagFrame;
    // The editor's picture upload (dialog/select_images_post.php): DedeCMS 5.7 keeps it below the
    // installation's include/, 5.8 and DedeBIZ in the back-end folder. Its refusals of a file type
    // or format, the refusal of a request that brought no file (PHP drops a file above its upload
    // size limit), and the fields that carry the watermark choice (5.7.88 reads needwatermarkup,
    // SP1, SP2, 5.8 and DedeBIZ needwatermark; an absent field means the site's own setting).
    bool uploadUnderInclude;
    std::array<std::string_view, 4> pictureTypeRefusals;
    std::string_view pictureNotReceived;
    std::array<std::string_view, 2> watermarkFields;
    // article_add.php keeps the form's upload list in the session and fails (HTTP 500, the article
    // stored but no static page made) on a post in a session that never opened the form.
    bool openAddFormFirst;
    // The article deletion fails (HTTP 500) at the first id of its list the site does not hold,
    // leaving the ids after it, so each id goes in a request of its own.
    bool deletionStopsAtMissingId;
    // The title column (dede_archives.title): its width in characters, and whether it is a CHAR
    // column, which keeps no trailing space; and how the article list cleans what it shows.
    int titleColumnChars;
    bool titleColumnFixed;
    ListCleaning listCleaning;
    // InsertTags drops a tag longer than this many bytes (as sent, in the site's charset); the tag
    // columns (dede_tagindex.tag, dede_taglist.tag) keep this many characters.
    std::size_t tagBytes;
    std::size_t tagChars;
};

inline constexpr BackendFamily kDedeCms{
    .id = FamilyId::DedeCms,
    .name = "DedeCMS",
    .adminFolder = "dede",
    .captchaImage = "include/vdimgck.php",
    .dynamicView = "plus/view.php",
    .messageTitles = {"DedeCMS提示信息", "DedeCMS 提示信息"},
    .messageBox = "height:130px",
    .continuationText = "如果你的浏览器没反应",
    .loginDone = "成功",
    .accountRefusals = {"你的密码错误!", "你的用户名不存在!", "用户和密码没填写完整!"},
    .captchaRefused = "验证码不正确!",
    .captchaHint =
        " 该站后台登录要求验证码，本软件不发送验证码：请在后台“系统 → 验证安全设置”的“开启系统验证码”中"
        "取消勾选“后台登录”",
    .articleStored = "<u>查看文章</u>",
    .articleLink = "<u>查看文章</u>",
    .linkListTag = "div",
    .linkListAttribute = "style",
    .linkListValue = "line-height:36px;height:36px",
    .categoryCreated = "成功创建一个分类！",
    .categoryDeleted = "成功删除一个栏目！",
    .articlesDeleted = "成功删除指定的文档！",
    .homePageMade = "成功更新主页HTML",
    .listDone = {"完成所有栏目列表更新！", "完成所有列表更新！"},
    .listProgress = "成功创建栏目",
    .listMadeStart = "成功创建栏目：",
    .listMadeEnd = "，",
    .listWorkStart = "栏目：",
    .rssPages = true,
    .mapPages = true,
    .allDone = "完成所有文件的更新！",
    .nextArticleFrame = "<iframe name='stafrm' frameborder='0' id='stafrm' width='100%' height='200px' src='",
    .tagFrame = "<iframe name='stafrm' frameborder='0' id='stafrm' width='100%' height='40px' src='",
    .uploadUnderInclude = true,
    .pictureTypeRefusals = {"图片类型不在许可列表", "图片格式错误", "Upload filetype not allow", ""},
    .pictureNotReceived = "你没有选择上传的文件",
    .watermarkFields = {"needwatermarkup", "needwatermark"},
    .openAddFormFirst = false,
    .deletionStopsAtMissingId = false,
    .titleColumnChars = 60,
    .titleColumnFixed = true,
    .listCleaning = ListCleaning::DedeCms,
    .tagBytes = 20,
    .tagChars = 12,
};

inline constexpr BackendFamily kDedeBiz{
    .id = FamilyId::DedeBiz,
    .name = "DedeBIZ V6",
    .adminFolder = "admin",
    .captchaImage = "apps/vdimgck.php",
    .dynamicView = "apps/view.php",
    .messageTitles = {"<title>系统提示</title>", ""},
    .messageBox = "tips-body",
    .continuationText = "点击反应",
    .loginDone = "正在登录后台管理",
    .accountRefusals = {"管理员密码错误", "管理员账号错误", "管理员账号和密码没填完整"},
    .captchaRefused = "验证码不正确",
    .captchaHint =
        " 该站后台在一分钟内三次密码错误后要求验证码，本软件不发送验证码：请检查密码，一分钟后再试",
    .articleStored = ">浏览文档</a>",
    .articleLink = "浏览文档",
    .linkListTag = "td",
    .linkListAttribute = "bgcolor",
    .linkListValue = "#f5f5f5",
    .categoryCreated = "成功创建一个栏目",
    .categoryDeleted = "成功删除一个栏目",
    .articlesDeleted = "成功删除指定文档",
    .homePageMade = "更新静态首页",
    .listDone = {"完成所有栏目更新", ""},
    .listProgress = "继续更新栏目",
    .listMadeStart = "栏目[id：",
    .listMadeEnd = "]",
    .listWorkStart = "栏目[id：",
    .rssPages = false,
    .mapPages = false,
    .allDone = "完成所有栏目文档更新",
    .nextArticleFrame = "<iframe name='stafrm' id='stafrm' frameborder='0' width='100%' height='360px' src='",
    .tagFrame = "",
    .uploadUnderInclude = false,
    .pictureTypeRefusals = {"图片类型错误", "图片格式错误", "仅支持媒体文件", "Upload filetype not allow"},
    .pictureNotReceived = "您没有选择上传文件",
    .watermarkFields = {"needwatermark", ""},
    .openAddFormFirst = true,
    .deletionStopsAtMissingId = true,
    .titleColumnChars = 255,
    .titleColumnFixed = false,
    .listCleaning = ListCleaning::DedeBiz,
    .tagBytes = 255,
    .tagChars = 255,
};

inline constexpr std::array<const BackendFamily*, 2> kFamilies{&kDedeCms, &kDedeBiz};

// The family whose message page this is; nullptr when the page is none.
const BackendFamily* messagePageFamily(std::string_view page);

// The family the back end's login page shows: DedeBIZ when it names itself or keeps its
// verification image under apps/, else DedeCMS.
const BackendFamily& loginPageFamily(std::string_view loginPage);

// The verification image the login page loads (resolved against the back-end folder), or the
// family's own below the install folder when the page names none.
std::string captchaImageUrl(const config::SiteConfig& site, std::string_view loginPage,
                            const BackendFamily& family);

// What the site's back end was recognised as at its latest login in this process (DedeCMS until
// then). Kept per back end (scheme, host, back-end folder) and shared by every thread.
const BackendFamily& familyOf(const config::SiteConfig& site);
inline const BackendFamily& familyOf(const AdminSession& session) { return familyOf(session.site); }
// Records what a login recognised; forgets what was read of the release since.
void rememberFamily(const config::SiteConfig& site, const BackendFamily& family);

// The separator archives_do.php's article deletion splits its id list (qstr) at, on a back end of
// this family whose data/admin/ver.txt holds `version`; std::nullopt where it is not known for
// certain. Every DedeBIZ V6 release and every DedeCMS before the 5.8 betas (ver.txt before
// 20201201) and 5.7.80/5.7.88 (20210806) split at "`"; 5.8.1 beta (20210201) splits at ",".
// Either way the back end drops every other character of a piece, so a list split at the wrong
// separator deletes another article ("1`2" read as 12): an unknown release gets one id per
// request. (The recycle bin's purge, dopost=clear, splits at "," on DedeCMS and on DedeBIZ before
// 6.2.5, at "`" since; the program sends no purge.)
std::optional<char> articleIdSeparator(const BackendFamily& family, std::string_view version);

// articleIdSeparator for the logged-in site: its data/admin/ver.txt is read once after each login.
std::optional<char> articleIdSeparator(AdminSession& session, const BackendContext& context);

}  // namespace oz::backend
