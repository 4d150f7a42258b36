#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/stored_site.h"
#include "backend/admin_session.h"
#include "backend/category_tree.h"
#include "backend/run_settings.h"
#include "config/settings_file.h"
#include "config/site_list_store.h"
#include "content/site_pools.h"
#include "http/http_requester.h"
#include "text/markers.h"

namespace oz::app {

namespace {

constexpr const char* kCategoriesUsage = "用法：orvane-zentrel categories --site N [--data-dir DIR]\n";

// The site number of "--site N" / "--site=N"; std::nullopt (with a message) for anything else.
std::optional<int> parseSiteNumber(const std::vector<std::string>& args, std::ostream& err) {
    std::optional<std::string> text;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--site" && i + 1 < args.size()) {
            text = args[++i];
        } else if (args[i].rfind("--site=", 0) == 0) {
            text = args[i].substr(7);
        } else {
            err << "未知参数：" << args[i] << "\n" << kCategoriesUsage;
            return std::nullopt;
        }
    }
    if (!text) {
        err << kCategoriesUsage;
        return std::nullopt;
    }
    std::optional<int> number = siteNumber(*text);
    if (!number) err << "站点序号无效：" << *text << "\n" << kCategoriesUsage;
    return number;
}

// One category per line: two spaces per level below the top, name[id], " [x]" when checked.
void printTree(const std::vector<backend::CategoryItem>& items, std::ostream& out) {
    for (const backend::CategoryItem& item : items) {
        out << std::string(static_cast<std::size_t>(2 * (item.level - 1)), ' ') << item.displayText()
            << (item.checked ? " [x]" : "") << "\n";
    }
}

}  // namespace

// Logs in to site N of the settings file, reads its category list from the add-article page and
// prints it as a tree; the site's checked categories (栏目ID) are marked.
int categoriesCommand(const CommandContext& context) {
    std::optional<int> number = parseSiteNumber(context.args, context.err);
    if (!number) return 2;

    config::SettingsFile file;
    const std::optional<config::SiteConfig> site =
        loadStoredSite(context.dataDir, *number, file, context.err);
    if (!site) return 2;

    backend::OptionsRunSettings settings(config::loadRunOptions(file));
    backend::BackendContext backendContext;
    backendContext.settings = &settings;
    backendContext.dataDir = context.dataDir;
    http::HttpRequester requester;
    backend::AdminSession session{*site, requester};

    std::vector<int> ids = content::parseCategoryIds(site->categoryIds);
    backend::CategoryListResult result =
        backend::readCategoryList(session, backendContext, std::set<int>(ids.begin(), ids.end()));
    if (!result.loggedIn) {
        context.err << text::replaceAll(backend::categoryLoginFailedMessage(result.failureReason), "\r\n",
                                        "\n")
                    << "\n";
        return 1;
    }
    if (result.items.empty()) {
        context.err << "没有读到栏目列表\n";
        return 1;
    }
    printTree(result.items, context.out);
    return 0;
}

}  // namespace oz::app
