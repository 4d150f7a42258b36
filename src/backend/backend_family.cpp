#include "backend/backend_family.h"

#include <map>
#include <mutex>

#include "text/characters.h"
#include "text/cleaning.h"

namespace oz::backend {
namespace {

constexpr std::string_view kCaptchaPage = "vdimgck.php";
constexpr std::string_view kVersionFile = "data/admin/ver.txt";
// DedeCMS ver.txt dates: the 5.8 betas began in December 2020; 5.7.80 and 5.7.88 came after.
constexpr std::string_view kFirstDede58 = "20201201";
constexpr std::string_view kDede5788 = "20210806";
constexpr std::string_view kDede581 = "20210201";

struct Recognised {
    const BackendFamily* family = &kDedeCms;
    std::optional<std::string> version;  // ver.txt once read ("" when it could not be)
};

std::mutex& registryMutex() {
    static std::mutex mutex;
    return mutex;
}

std::map<std::string, Recognised>& registry() {
    static std::map<std::string, Recognised> recognised;
    return recognised;
}

bool isDigits(std::string_view text) {
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The characters a path in the login page's markup may hold.
bool isPathChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           std::string_view("./_-~").find(c) != std::string_view::npos;
}

}  // namespace

const BackendFamily* messagePageFamily(std::string_view page) {
    for (const BackendFamily* family : kFamilies) {
        for (std::string_view title : family->messageTitles) {
            if (!title.empty() && page.find(title) != std::string_view::npos) return family;
        }
    }
    return nullptr;
}

const BackendFamily& loginPageFamily(std::string_view loginPage) {
    if (text::findNoCase(loginPage, "DedeBIZ") != std::string_view::npos ||
        loginPage.find(std::string("/") + std::string(kDedeBiz.captchaImage)) != std::string_view::npos) {
        return kDedeBiz;
    }
    return kDedeCms;
}

std::string captchaImageUrl(const config::SiteConfig& site, std::string_view loginPage,
                            const BackendFamily& family) {
    const std::size_t at = loginPage.find(kCaptchaPage);
    if (at != std::string_view::npos) {
        std::size_t start = at;
        while (start > 0 && isPathChar(loginPage[start - 1])) --start;
        std::string_view path = loginPage.substr(start, at + kCaptchaPage.size() - start);
        // Relative to the back-end folder, as the login page's own markup is.
        if (path.starts_with("../")) return installUrl(site, path.substr(3));
        if (path.starts_with("/")) return siteOrigin(site) + std::string(path);
        if (path.find("..") == std::string_view::npos) return backEndBaseUrl(site) + "/" + std::string(path);
    }
    return installUrl(site, family.captchaImage);
}

const BackendFamily& familyOf(const config::SiteConfig& site) {
    std::lock_guard lock(registryMutex());
    const auto found = registry().find(backEndBaseUrl(site));
    return found == registry().end() ? kDedeCms : *found->second.family;
}

void rememberFamily(const config::SiteConfig& site, const BackendFamily& family) {
    std::lock_guard lock(registryMutex());
    registry()[backEndBaseUrl(site)] = Recognised{&family, std::nullopt};
}

std::optional<char> articleIdSeparator(const BackendFamily& family, std::string_view version) {
    if (family.id == FamilyId::DedeBiz) return '`';
    if (version.size() != kFirstDede58.size() || !isDigits(version)) return std::nullopt;
    if (version < kFirstDede58 || version == kDede5788) return '`';
    if (version == kDede581) return ',';
    return std::nullopt;
}

std::optional<char> articleIdSeparator(AdminSession& session, const BackendContext& context) {
    const config::SiteConfig& site = session.site;
    const std::string key = backEndBaseUrl(site);
    std::optional<std::string> version;
    {
        std::lock_guard lock(registryMutex());
        version = registry()[key].version;
    }
    if (!version) {
        const http::PageAnswer answer = requestPage(session, context, installUrl(site, kVersionFile));
        version = answer.ok && answer.status == 200 ? text::trimBlanks(answer.text) : std::string();
        std::lock_guard lock(registryMutex());
        registry()[key].version = version;
    }
    return articleIdSeparator(familyOf(site), *version);
}

}  // namespace oz::backend
