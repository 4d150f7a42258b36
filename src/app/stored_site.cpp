#include "app/stored_site.h"

#include <ostream>

#include "config/data_folder.h"
#include "config/site_list_store.h"

namespace oz::app {

std::optional<int> siteNumber(const std::string& text) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const int value = std::stoi(text);
    return value > 0 ? std::optional<int>(value) : std::nullopt;
}

std::optional<config::SiteConfig> loadStoredSite(const std::filesystem::path& dataDir, int number,
                                                 config::SettingsFile& file, std::ostream& err) {
    if (!file.open(dataDir / config::kSettingsFileName, config::SettingsFile::Mode::ReadOnly)) {
        err << file.lastError() << "\n";
        return std::nullopt;
    }
    if (!file.notice().empty()) err << file.notice() << "\n";
    config::SiteList list;
    config::loadSiteList(file, list);
    if (number < 1 || number > list.size()) {
        err << "站点 " << number << " 不存在（设置文件中共有 " << list.size() << " 个站点）\n";
        return std::nullopt;
    }
    return list.sites[static_cast<std::size_t>(number - 1)];
}

}  // namespace oz::app
