#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "backend/admin_session.h"
#include "backend/backend_context.h"
#include "backend/live_check.h"

// Static page regeneration: the back end's page-generation actions, run the way an operator would
// click through them. Options and custom-refresh check marks are read at each step, so a change
// during a run applies to the next step. Every step is logged with the site index; failures show
// only in the log. A "已刷新…" line is written only for an answer that carries the action's
// success, progress or end text; a paging loop ends on any other answer. When the context's abort
// flag is set, the work ends at once and nothing more is requested or logged. The texts are those of
// the site's family (backend_family.h); a family without RSS or map pages (DedeBIZ) is not asked
// for them.
namespace oz::backend {

// `regenerateSite`: after a site's run (perArticle false, the categories published into during the
// run) or after each article (perArticle true, the article's category): the system cache (Kivra),
// the RSS files, the list pages of all categories or of each category (with its child
// categories), the RSS file of each category, the home page with its site maps, then the checked
// custom-refresh items. With perArticle the "all categories" options are ignored. Returns what a
// visitor may now see: the first list page of each category whose list action named it, and
// whether the home page was made.
MadePages regenerateSite(AdminSession& session, const BackendContext& context,
                         const std::vector<int>& categoryIds, int siteIndex, bool perArticle);

// `refreshHomePage`: reads the home-page form, posts it back with its templet and position (or the
// overrides given) and, without overrides, regenerates the site and RSS maps; then the result is
// true (a back end without map pages, DedeBIZ, gets none). With an override given the maps are not
// requested and the result is whether the back end answered "成功更新主页HTML" (DedeBIZ:
// "更新静态首页") without a template fault (live_check.h's templateFault). Either way, when it did not, `whyFailed` (may be null) says what it answered. An
// empty override keeps the form's value.
bool refreshHomePage(AdminSession& session, const BackendContext& context,
                     const std::optional<std::string>& position = std::nullopt,
                     const std::optional<std::string>& templet = std::nullopt,
                     std::string* whyFailed = nullptr);

// `oneKeyUpdate`: when 一键更新网站 is checked, runs the back end's update-everything action and
// follows its pages until "完成所有文件的更新！" (DedeBIZ: "完成所有栏目文档更新"), logging each page's
// message. Ends on a page without continuation, a failed request, context.limits.oneKeyUpdatePages pages or
// the abort flag. Returns the number of pages requested.
int oneKeyUpdate(AdminSession& session, const BackendContext& context, int siteIndex);

// What refreshAllLists did.
struct ListRefresh {
    int categories = 0;          // categories whose list pages were made whole
    bool listsComplete = false;  // the list action reached its end
    std::string listFailure;     // why it did not (empty when the abort flag cut it off)
    bool homePageMade = false;
    std::string homePageFailure;  // what the back end answered instead
};

// `refreshAllLists`: regenerates the list pages of all categories and then the home page, for the
// batch tools. `progress` (may be empty) gets 域名 + " 已刷新栏目 " + i + " 个" after each page.
// The home page is not asked for after the abort flag cut the lists off.
ListRefresh refreshAllLists(AdminSession& session, const BackendContext& context,
                            const std::function<void(const std::string& title)>& progress = {});

// Map page regeneration (Kivra "XML地图", "TXT地图"): reads the map form at `pagePath` (relative
// to the back-end folder, with its leading "/") and posts its templet and position to
// makehtml_homepage.php; logs `logText` when it did.
void regenerateMapPage(AdminSession& session, const BackendContext& context, const std::string& pagePath,
                       const std::string& logText, int siteIndex);

// The message text of one page of the update-everything chain: the document.write after the one
// that opens the message box (DedeCMS 5.7 and DedeBIZ: the third; 5.8: the second; a page without
// the box: the third), tags and line breaks removed.
std::string oneKeyPageText(const std::string& answer);

}  // namespace oz::backend
