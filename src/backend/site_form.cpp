#include "backend/site_form.h"

#include <cctype>

namespace oz::backend {
namespace {

bool startsWithWww(const std::string& host) {
    if (host.size() < 4) return false;
    for (int i = 0; i < 3; ++i) {
        if (std::tolower(static_cast<unsigned char>(host[i])) != 'w') return false;
    }
    return host[3] == '.';
}

}  // namespace

SiteForm formOfSite(const config::SiteConfig& site) {
    return {site.domain,  site.user,  site.password,        site.adminDir,
            site.charset, site.https, site.pinnedPublicKey, site.proxy};
}

config::SiteConfig siteFromForm(const SiteForm& form, bool toggleWww) {
    config::SiteConfig site;
    site.domain = config::normalizeHost(form.domain);
    if (toggleWww) site.domain = startsWithWww(site.domain) ? site.domain.substr(4) : "www." + site.domain;
    site.user = form.user;
    site.password = form.password;
    site.adminDir = config::normalizeHost(form.adminDir);
    site.charset = form.charset;
    site.https = form.https;
    site.pinnedPublicKey = config::normalizePin(form.pinnedPublicKey);
    site.proxy = form.proxy;
    return site;
}

}  // namespace oz::backend
