#include "backend/progress_pages.h"

#include "backend/backend_family.h"
#include "backend/html_elements.h"
#include "text/characters.h"

namespace oz::backend {

std::string continuationLink(const std::string& answer) {
    for (const BackendFamily* family : kFamilies) {
        const std::size_t linkText = answer.find(">" + std::string(family->continuationText));
        if (linkText == std::string::npos) continue;
        const std::size_t anchor = text::rfindNoCase(answer, "<a ", linkText);
        if (anchor == std::string::npos) continue;
        return elementAttribute(std::string_view(answer).substr(anchor, linkText + 1 - anchor), "href");
    }
    return {};
}

int followProgressPages(AdminSession& session, const BackendContext& context, std::string url, int siteIndex,
                        const std::string& label) {
    const config::SiteConfig& site = session.site;
    if (!label.empty()) context.logLine(siteIndex, "开始" + label);
    const std::string folderUrl = backEndBaseUrl(site) + "/";
    if (url.rfind("http:", 0) == 0 || url.rfind("https:", 0) == 0) {
        // already absolute
    } else if (url.rfind("/", 0) == 0) {
        url = siteOrigin(site) + url;  // from the host's root
    } else {
        url = folderUrl + url;
    }
    int pages = 0;
    while (pages < context.limits.progressPages && !context.aborted()) {
        std::string answer = getPage(session, context, url);
        ++pages;
        std::string next = continuationLink(answer);
        if (next.empty()) break;
        url = folderUrl + next;
    }
    // An aborted chain did not end; it was cut off.
    if (!label.empty() && !context.aborted()) context.logLine(siteIndex, "结束" + label);
    return pages;
}

}  // namespace oz::backend
