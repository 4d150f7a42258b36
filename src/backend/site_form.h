#pragma once

#include <optional>
#include <string>

#include "config/site_config.h"

namespace oz::backend {

// The connection fields of the site form as typed: what a category read or a batch operation
// logs in with, whether or not the site is stored.
struct SiteForm {
    std::string domain;                // 编辑框域名
    std::string user;                  // 编辑框用户
    std::string password;              // 编辑框密码
    std::string adminDir;              // 编辑框目录
    int charset = 0;                   // 组合框编码
    bool https = false;                // 选择框https
    std::string pinnedPublicKey;       // 编辑框证书公钥
    std::optional<std::string> proxy;  // 编辑框代理服务器 (absent: 默认代理服务器)
};

// The form of a stored record (the batch tools read the sites this way).
SiteForm formOfSite(const config::SiteConfig& site);

// A temporary record with the form's connection fields and every other field at its default.
// 域名 and 目录 go through normalizeHost; with `toggleWww` a leading "www." (any case) is removed
// from 域名, or added when absent.
config::SiteConfig siteFromForm(const SiteForm& form, bool toggleWww);

}  // namespace oz::backend
