#pragma once

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "backend/admin_session.h"
#include "backend/article_lookup.h"
#include "backend/backend_context.h"

// The live check: after the site's regeneration, the pages a visitor reaches are fetched as the
// visitor fetches them, so that a page the back end reported as made but that shows a template
// fault, a 404 or no article is not taken for a published article. It republishes nothing; what
// fails is logged and counted.
namespace oz::backend {

// One article the run published on the site.
struct LiveArticle {
    std::string title;    // as the draft had it when it was sent
    std::string address;  // its page (static, or the dynamic address of a site browsed dynamically)
    int typeId = 0;
    // The addresses of the pictures uploaded for it; each must answer 200 with an image type.
    std::vector<std::string> pictures;
};

// What the regeneration made that a visitor sees.
struct MadePages {
    // Category id → the address of its first list page, for categories with static lists whose
    // list action named the page it made.
    std::map<int, std::string> firstListPages;
    bool homePage = false;  // the home page was regenerated
};

struct LiveCheckReport {
    int confirmed = 0;            // articles whose every check passed
    int failed = 0;               // articles with a check that failed
    bool homePageFailed = false;  // the regenerated home page failed its check
    int requests = 0;             // pages and pictures fetched
};

// The back end's text of a template fault when a page is nothing but that ("/var/www/theme/default/
// index.htm Not Found!", "模板文件不存在，无法解析文档！"); empty for any other page.
std::string templateFault(std::string_view page);

// A list page's address as the list action's answer names it, made whole against the site; the
// page number of a "list_2_3.html" page becomes 1 (the first page). Empty for a dynamic list
// ("../plus/list.php?tid=2") and for an empty href.
std::string firstListPageAddress(const config::SiteConfig& site, std::string_view href);

// `checkLive`: one GET per article (200, and the title as the back end stores it on the page, with
// no template fault), one per picture (200 with an image type), one per category of `made` with
// an article of the run (its newest article of that category linked on the first list page), and
// the home page when it was made (200, no template fault). Each failure is logged
// ("前台检查未通过：标题（原因） 地址"); then the counts ("前台确认 N 篇，未通过 M 篇"). Ends at the
// abort flag; what was not checked then counts neither way.
LiveCheckReport checkLive(AdminSession& session, const BackendContext& context,
                          const std::vector<LiveArticle>& articles, const MadePages& made, int siteIndex,
                          const ArticleTracking* tracking = nullptr);

}  // namespace oz::backend
