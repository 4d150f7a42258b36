#pragma once

#include <string>
#include <string_view>

#include "config/run_options.h"
#include "config/settings_file.h"
#include "config/site_config.h"

namespace oz::config {

// Settings sections and keys of the site list and the run options.
inline constexpr const char* kRunOptionsSection = "基本配置";
inline constexpr const char* kSiteListSection = "站点配置";
inline constexpr const char* kSiteSectionPrefix = "站点序号_";
inline constexpr const char* kSiteCountKey = "站点数";
inline constexpr const char* kCurrentSiteKey = "现行项";
inline constexpr const char* kEnabledKey = "启用";
inline constexpr const char* kProxyKey = "代理服务器";
inline constexpr const char* kDefaultProxyKey = "默认代理服务器";

// "站点序号_" + index (1-based).
std::string siteSectionName(int index);

// Appends the sites of the file to the list (no duplicate check, the current entry unchanged) and
// returns the stored current-entry index (现行项). Of the 站点数 sites only those with a section
// of their own are loaded, in number order (a count beyond the sections adds no blank sites); the
// returned index follows its site, and is -1 when that site has no section. Missing keys take
// SiteConfig's member defaults; an empty 目录 becomes "dede".
int loadSiteList(SettingsFile& file, SiteList& list);
// Reads one site section ("站点序号_" + index).
SiteConfig loadSite(SettingsFile& file, int index);

// Writes 站点数, 现行项 and every key of every site in file order (栏目数据 as a byte value).
// Runs as one batch: the file is written once. False with file.lastError() on failure.
bool saveSiteList(SettingsFile& file, const SiteList& list);
// Writes a site's 启用 at once, as a check-mark change does.
bool saveSiteEnabled(SettingsFile& file, int index, bool enabled);

// Sets the field of `site` whose settings key is `key` from the text the command line or an import
// gives: 真/假 (or 1/0) for a check box, a number for a number, the text itself for a text ("\n"
// lines become CR LF). Returns why it cannot be set ("没有这个设置项：…"), never echoing the value;
// empty when it was. 启用 and 栏目数据 are not set this way. The record's own checks (siteProblem)
// are the caller's.
std::string setSiteField(SiteConfig& site, std::string_view key, std::string_view value);
// The settings keys setSiteField takes, joined by "、".
std::string settableSiteKeys();

// Deletes "站点序号_" + k for k = siteCount + 1, siteCount + 2, ... until one does not exist.
// Returns the number of sections deleted.
int deleteStaleSiteSections(SettingsFile& file, int siteCount);

// The "基本配置" keys: reads take the options' current values as defaults.
RunOptions loadRunOptions(SettingsFile& file, const RunOptions& defaults = {});
bool saveRunOptions(SettingsFile& file, const RunOptions& options);
// The scheduler's two keys (自动开启计划任务, 计划任务_鼠标左键).
bool saveScheduleOptions(SettingsFile& file, const RunOptions& options);

// The global save: run options, then the site list, as one batch.
bool globalSave(SettingsFile& file, const RunOptions& options, const SiteList& list);

}  // namespace oz::config
