#include "config/site_config.h"

#include <algorithm>
#include <cctype>
#include <iterator>

#include "config/huge_pages.h"
#include "text/characters.h"

namespace oz::config {

namespace {

bool startsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view prefix) {
    if (text.size() - at < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        auto a = static_cast<unsigned char>(text[at + i]);
        auto b = static_cast<unsigned char>(prefix[i]);
        if (std::tolower(a) != std::tolower(b)) return false;
    }
    return true;
}

// Removes every occurrence of `pattern` in one left-to-right pass.
std::string removeAllIgnoringCase(std::string_view text, std::string_view pattern) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (startsWithIgnoringCase(text, i, pattern)) {
            i += pattern.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

}  // namespace

SiteConfig initialSiteConfig() {
    SiteConfig site;
    site.enabled = true;
    site.user = "admin";
    site.password = "kelpo";
    site.domain = "www.example.com";
    site.adminDir = "dede";
    site.keywordCountMin = 2;
    site.keywordCountMax = 5;
    site.tagCountMin = 2;
    site.tagCountMax = 5;
    site.shortTitleCountMin = 1;
    site.shortTitleCountMax = 3;
    site.summaryLengthMin = 100;
    site.summaryLengthMax = 200;
    site.fileNameRule = 1;
    site.letterCountMin = 3;
    site.letterCountMax = 7;
    site.authorList = "佚名";
    site.source = "http://www.example.com/";
    site.viewCountMin = 50;
    site.viewCountMax = 150;
    site.pageSizeKb = 5;
    // Outside Windows the folder starts empty: a Windows path would name a folder that is not there.
#ifdef _WIN32
    site.articleDir = "C:\\用于更新的文章所在目录";
#endif
    site.fileFilter = "*.txt";
    site.articleCount = 0;
    site.intervalMin = 0.01f;
    site.intervalMax = 0.03f;
    site.bodyKeywordTimesMin = 2;
    site.bodyKeywordTimesMax = 3;
    site.tailKeywordTimesMin = 2;
    site.tailKeywordTimesMax = 3;
    site.tailBlockSeparator = "分块符";
    site.titleKeywordPercent = 43;
    site.titleKeywordSeparator = "：";
    return site;
}

std::string siteLabel(const SiteConfig& site) { return site.domain + "(" + site.user + ")"; }

std::string normalizeHost(std::string_view text) {
    static constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";  // U+3000
    std::string noSpaces;
    noSpaces.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
        } else if (text.substr(i, kFullWidthSpace.size()) == kFullWidthSpace) {
            i += kFullWidthSpace.size();
        } else {
            noSpaces.push_back(text[i++]);
        }
    }
    std::string host = removeAllIgnoringCase(noSpaces, "http://");
    host = removeAllIgnoringCase(host, "https://");
    host = removeAllIgnoringCase(host, "//");
    std::size_t end = host.find_last_not_of('/');
    if (end == std::string::npos) return {};
    std::size_t begin = host.find_first_not_of('/');
    return host.substr(begin, end + 1 - begin);
}

std::string normalizePin(std::string_view pin) {
    auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::string out(pin);
    if (text::findNoCase(out, "sha256//") != std::string::npos) {
        std::erase_if(out, space);  // base64 holds no white space; a pasted key may
        return out;
    }
    while (!out.empty() && space(out.back())) out.pop_back();
    out.erase(out.begin(), std::find_if_not(out.begin(), out.end(), space));
    // The bare base64 that openssl prints for a key's SHA-256.
    const bool bareHash =
        out.size() == 44 && out.back() == '=' && std::all_of(out.begin(), out.end() - 1, [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '/';
        });
    return bareHash ? "sha256//" + out : out;
}

void normalizeSite(SiteConfig& site) {
    site.domain = normalizeHost(site.domain);
    site.adminDir = normalizeHost(site.adminDir);
    if (site.adminDir.empty()) site.adminDir = "dede";
    site.pinnedPublicKey = normalizePin(site.pinnedPublicKey);
    if (site.proxy) {
        std::string& proxy = *site.proxy;
        proxy.erase(0, std::min(proxy.size(), proxy.find_first_not_of(" \t")));
        proxy.erase(std::min(proxy.size(), proxy.find_last_not_of(" \t") + 1));
    }
}

void reserveSites(SiteList& list, std::size_t more) {
    if (list.sites.capacity() >= list.sites.size() + more) return;
    // Moved into a buffer of the final size: the records are touched only there.
    std::vector<SiteConfig> sites;
    sites.reserve(list.sites.size() + more);
    adviseHugePages(sites.data(), sites.capacity() * sizeof(SiteConfig));
    std::move(list.sites.begin(), list.sites.end(), std::back_inserter(sites));
    list.sites = std::move(sites);
}

std::optional<int> SiteList::findDuplicate(const SiteConfig& site, int skipIndex) const {
    const std::string label = siteLabel(site);
    for (int i = 0; i < size(); ++i) {
        if (i != skipIndex && siteLabel(sites[static_cast<std::size_t>(i)]) == label) return i;
    }
    return std::nullopt;
}

}  // namespace oz::config
