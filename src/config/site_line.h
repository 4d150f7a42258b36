#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "config/site_config.h"

namespace oz::config {

// The one-line-per-site text format of the bulk import:
// 域名|用户|密码|编码|目录|文章目录|文件编码|文件过滤|更新数量|删除已更新文章|每篇间隔秒1|每篇间隔秒2|
// 文章首行当标题|加网页段落标签|使用HTTPS发布
inline constexpr int kSiteLineFieldCount = 15;
using SiteLineFields = std::array<std::string, kSiteLineFieldCount>;

// The help text of the import dialog.
extern const char* const kSiteLineHelp;

// Cuts a line at every "|" into exactly 15 fields, taken as they stand: missing trailing fields are
// empty, fields after the fifteenth are ignored.
SiteLineFields splitSiteLine(std::string_view line);

// The record an import makes of a line: every field not given in the line comes from `window`
// (the main window's current values); fields 1-5 are always taken from the line (编码 0 and
// 目录 "dede" when empty); 域名 and 目录 are normalised. 启用 is set (a new entry is checked).
SiteConfig siteFromLine(const SiteLineFields& fields, const SiteConfig& window);

// A line as it may be shown to anyone: its password field (the third) as "******" when not empty.
std::string maskedSiteLine(std::string_view line);

// Why a record cannot be stored: "域名不能为空！", "用户不能为空！", "密码不能为空！", or a message
// for a combo index outside its items; empty when the record is acceptable.
std::string siteProblem(const SiteConfig& site);

}  // namespace oz::config
