#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "config/site_config.h"

namespace oz::config {

// The one-line-per-site text format of the bulk import:
// 域名|用户|密码|编码|目录|文章目录|文件编码|文件过滤|更新数量|删除已更新文章|每篇间隔秒1|每篇间隔秒2|
// 文章首行当标题|加网页段落标签|使用HTTPS发布|代理服务器, then any number of 键=值 fields that set
// a settings key of the site each (关键词数据=…).
inline constexpr int kSiteLineFieldCount = 16;
struct SiteLineFields : std::array<std::string, kSiteLineFieldCount> {
    // Written in quotes: an empty one is a value ("" = empty), not a field left to the window.
    std::array<bool, kSiteLineFieldCount> quoted{};
    std::vector<std::string> keyed;  // the 键=值 fields after the sixteenth
};

// The help text of the import dialog.
extern const char* const kSiteLineHelp;
// The quoting rule, as the help texts give it.
extern const char* const kSiteLineQuoting;

// Cuts a line into its fields at every "|" outside quotes. A field that starts with a double quote
// and has a closing one right before a "|" or the line's end is quoted: it holds what lies between,
// with "" standing for one double quote, so it may hold "|". Any other field is taken as it stands.
// Missing positional fields are empty.
SiteLineFields splitSiteLine(std::string_view line);
// A value as a field of a line: quoted when empty, holding "|" or starting with a double quote.
std::string siteLineField(std::string_view value);

// The record an import makes of a line: every field not given in the line comes from `window`
// (the main window's current values); fields 1-5 are always taken from the line (编码 0 and
// 目录 "dede" when empty); 域名 and 目录 are normalised. 启用 is set (a new entry is checked).
// `problem` (may be null) receives why a 键=值 field could not be applied; the record is then
// not to be stored.
SiteConfig siteFromLine(const SiteLineFields& fields, const SiteConfig& window,
                        std::string* problem = nullptr);

// A line as it may be shown to anyone: its password field (the third) as "******" when not empty.
std::string maskedSiteLine(std::string_view line);

// Why a record cannot be stored: "域名不能为空！", "用户不能为空！", "密码不能为空！", a message
// for a combo index outside its items or for a 代理服务器 that does not parse; empty when the
// record is acceptable.
std::string siteProblem(const SiteConfig& site);

}  // namespace oz::config
