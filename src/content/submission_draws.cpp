#include "content/submission_draws.h"

#include "text/characters.h"
#include "text/cleaning.h"
#include "text/markers.h"
#include "text/random.h"

namespace oz::content {

namespace {

constexpr int kRandomFlagsPercent = 20;

// One flag: its setting without 随机属性, a fresh 6-in-11 draw with it.
bool flagOn(bool randomFlags, bool setting) { return randomFlags ? text::randomInt(1, 11) >= 6 : setting; }

}  // namespace

bool bodyHoldsPicture(std::string_view body) {
    for (std::string_view pieces : {"<img |.jpg", "<img |.jpeg", "<img |.png", "<img |.gif"}) {
        if (text::containsAllPieces(body, pieces)) return true;
    }
    return false;
}

std::string drawFlags(const config::SiteConfig& site, std::string_view body) {
    int r = text::randomInt(1, 100);
    if (site.randomFlags && r > kRandomFlagsPercent) return {};
    // Drawn in the order h c a s b, then f and p after the picture test; sent in form order.
    bool headline = flagOn(site.randomFlags, site.flagHeadline);
    bool recommended = flagOn(site.randomFlags, site.flagRecommended);
    bool special = flagOn(site.randomFlags, site.flagSpecial);
    bool scrolling = flagOn(site.randomFlags, site.flagScrolling);
    bool bold = flagOn(site.randomFlags, site.flagBold);
    bool slide = false, picture = false;
    if (bodyHoldsPicture(body)) {
        slide = flagOn(site.randomFlags, site.flagSlide);
        picture = flagOn(site.randomFlags, site.flagPicture);
    }
    std::string flags;
    if (headline) flags += 'h';
    if (recommended) flags += 'c';
    if (slide) flags += 'f';
    if (special) flags += 'a';
    if (scrolling) flags += 's';
    if (bold) flags += 'b';
    if (picture) flags += 'p';
    return flags;
}

std::string drawSummary(std::string_view body, int lo, int hi) {
    int n = text::randomInt(lo, hi);
    if (n <= 0) return {};
    // n characters take at most 4n bytes, so the white space needs removing only that far.
    const std::size_t enough = static_cast<std::size_t>(n) * 4 + 4;
    return text::leftChars(text::removeWhitespace(text::removeUrls(text::stripTags(body)), enough), n);
}

int drawClick(const config::SiteConfig& site) {
    return text::randomInt(site.viewCountMin, site.viewCountMax);
}

void drawSubmissionFields(ArticleDraft& draft, const config::SiteConfig& site) {
    draft.flags = drawFlags(site, draft.body);
    draft.description = drawSummary(draft.body, site.summaryLengthMin, site.summaryLengthMax);
    draft.click = drawClick(site);
}

}  // namespace oz::content
