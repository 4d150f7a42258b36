#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>

#include "config/settings_file.h"
#include "config/site_config.h"

// What the subcommands that work on one site of the settings file share.
namespace oz::app {

// The N of "--site N": digits only, 1 to 999999999; std::nullopt for anything else.
std::optional<int> siteNumber(const std::string& text);

// Opens the data folder's settings file read-only into `file` (left open for further reads) and
// returns site `number` (1-based) of its list. std::nullopt, with the message written to `err`,
// when the file cannot be opened or has no such site.
std::optional<config::SiteConfig> loadStoredSite(const std::filesystem::path& dataDir, int number,
                                                 config::SettingsFile& file, std::ostream& err);

}  // namespace oz::app
