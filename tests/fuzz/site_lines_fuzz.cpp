// The site-list text lines and the bulk import (config/site_line.h, config/site_import.h).
// Input: the bytes of an import, one 域名|用户|密码|... line per site, read as the import reads
// them (UTF-8 or GBK, so the text is valid UTF-8). Checks: a line is cut into
// 16 fields and its 键=值 fields, which, quoted where needed, give the same fields back, and only a
// quoted field holds "|"; normalizeHost is settled after one pass (a host normalised
// twice is the same, so the duplicate test sees what is stored); every line becomes a site or a
// failed line; the imported sites pass the record checks and no two share 域名(用户).

#include <set>

#include "config/site_config.h"
#include "config/site_import.h"
#include "config/site_line.h"
#include "fuzz_support.h"
#include "text/charset.h"
#include "text/markers.h"

namespace {

namespace config = oz::config;

void checkLine(std::string_view line) {
    const config::SiteLineFields fields = config::splitSiteLine(line);
    std::string joined = config::siteLineField(fields[0]);
    for (std::size_t i = 1; i < fields.size(); ++i) joined += "|" + config::siteLineField(fields[i]);
    for (const std::string& keyed : fields.keyed) joined += "|" + config::siteLineField(keyed);
    const config::SiteLineFields again = config::splitSiteLine(joined);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        OZ_FUZZ_CHECK_EQ(again[i], fields[i]);
        OZ_FUZZ_CHECK(fields.quoted[i] || fields[i].find('|') == std::string::npos);
    }
    OZ_FUZZ_CHECK(again.keyed == fields.keyed);

    for (const std::string& field : {fields[0], fields[4]}) {
        const std::string host = config::normalizeHost(field);
        OZ_FUZZ_CHECK_EQ(config::normalizeHost(host), host);
        OZ_FUZZ_CHECK(!host.starts_with('/') && !host.ends_with('/'));
        OZ_FUZZ_CHECK(host.find(' ') == std::string::npos);
    }
    const config::SiteConfig site = config::siteFromLine(fields, config::initialSiteConfig());
    OZ_FUZZ_CHECK(site.enabled);
    OZ_FUZZ_CHECK(!site.adminDir.empty());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text = oz::text::utf8OrGbkText(oz::fuzz::asText(data, size));
    std::size_t lines = 0;
    for (std::string_view line : oz::text::splitLines(text)) {
        checkLine(line);
        lines += line.empty() ? 0 : 1;
    }

    config::SiteList list;
    const config::BulkImportResult result = config::bulkImportSites(list, text, config::initialSiteConfig());
    OZ_FUZZ_CHECK_EQ(static_cast<std::size_t>(result.imported) + result.failedLines.size(), lines);
    OZ_FUZZ_CHECK_EQ(list.size(), result.imported);
    std::set<std::string> labels;
    for (const config::SiteConfig& site : list.sites) {
        OZ_FUZZ_CHECK_EQ(config::siteProblem(site), std::string());
        OZ_FUZZ_CHECK(labels.insert(config::siteLabel(site)).second);
        config::SiteConfig again = site;
        config::normalizeSite(again);
        OZ_FUZZ_CHECK(again == site);
    }
    return 0;
}
