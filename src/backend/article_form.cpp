#include "backend/article_form.h"

#include <cstdint>
#include <cstdio>

#include "backend/date_text.h"
#include "backend/url_encoding.h"
#include "content/submission_draws.h"

namespace oz::backend {
namespace {

const char* onOff(bool on) { return on ? "1" : "0"; }

}  // namespace

std::string titleColorText(int color) {
    auto value = static_cast<std::uint32_t>(color);
    if ((value & 0xFF000000u) != 0) return {};
    char bgr[8];
    std::snprintf(bgr, sizeof bgr, "%06X", static_cast<unsigned>(value));
    return std::string("#") + bgr[4] + bgr[5] + bgr[2] + bgr[3] + bgr[0] + bgr[1];
}

std::vector<FormEntry> articleFormEntries(const content::ArticleDraft& draft, const config::SiteConfig& site,
                                          const text::DateTime& now, int imageFieldX, int imageFieldY) {
    std::vector<FormEntry> form(kArticleFormSize);
    auto set = [&form](int position, std::string name, std::string value) {
        form[static_cast<std::size_t>(position)] = {std::move(name), std::move(value)};
    };
    set(0, "channelid", "1");
    set(1, "dopost", "save");
    set(2, "title", draft.title);
    set(3, "shorttitle", draft.shorttitle);
    // The flag block: positions 4..11 hold h c f a s b p and one always empty entry. Without
    // flags no flags[] field is sent at all.
    static constexpr std::string_view kFlagOrder = "hcfasbp";
    for (std::size_t i = 0; i < kFlagOrder.size(); ++i) {
        char letter = kFlagOrder[i];
        if (draft.flags.find(letter) != std::string::npos) set(4 + static_cast<int>(i), "flags[]", {letter});
    }
    set(12, "redirecturl", "");
    set(13, "tags", draft.tags);
    set(14, "weight", "");
    set(15, "picname", "");
    set(16, "litpic", "");
    set(17, "source", site.source);
    set(18, "writer", draft.writer);
    set(19, "typeid", std::to_string(draft.typeId));
    set(20, "typeid2", "");
    set(21, "keywords", draft.keywords);
    set(22, "autokey", "1");
    set(23, "description", draft.description);
    set(24, "dede_addonfields", "");
    set(25, "remote", onOff(site.downloadRemoteImages));
    set(26, "dellink", onOff(site.removeForeignLinks));
    set(27, "autolitpic", onOff(site.firstImageAsThumbnail));
    set(28, "needwatermark", onOff(site.watermarkImages));
    set(29, "sptype", site.splitPages ? "auto" : "hand");
    set(30, "spsize", std::to_string(site.pageSizeKb));
    set(31, "body", draft.body);
    set(32, "voteid", "");
    set(33, "notpost", onOff(site.closeComments));
    set(34, "click", std::to_string(draft.click));
    set(35, "sortup", "0");
    set(36, "color", titleColorText(site.titleColor));
    set(37, "arcrank", "0");
    set(38, "money", "0");
    set(39, "pubdate", dateTimeText(now));
    set(40, "ishtml", onOff(site.generateHtml));
    set(41, "filename", draft.filename);
    set(42, "templet", "");
    set(43, "imageField.x", std::to_string(imageFieldX));
    set(44, "imageField.y", std::to_string(imageFieldY));
    return form;
}

std::vector<FormEntry> buildArticleForm(content::ArticleDraft& draft, const config::SiteConfig& site,
                                        const BackendContext& context) {
    content::drawSubmissionFields(draft, site);
    int x = context.randomBetween(30, 50);
    int y = context.randomBetween(10, 30);
    return articleFormEntries(draft, site, context.clockOrSystem().now(), x, y);
}

std::string formBody(const std::vector<FormEntry>& entries, bool utf8Site) {
    std::string body;
    std::size_t estimate = 0;
    for (const FormEntry& entry : entries) estimate += entry.name.size() + entry.value.size() * 3 + 2;
    body.reserve(estimate);
    for (const FormEntry& entry : entries) {
        if (entry.name.empty() || entry.value.empty()) continue;
        if (!body.empty()) body += '&';
        body += entry.name;
        body += '=';
        appendUrlEncoded(body, entry.value, utf8Site);
    }
    return body;
}

}  // namespace oz::backend
