#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/stored_site.h"
#include "config/settings_file.h"
#include "content/article_pictures.h"
#include "content/compose.h"
#include "content/insertion.h"
#include "content/site_pools.h"
#include "content/submission_draws.h"
#include "content/text_lines.h"

namespace oz::app {

namespace {

constexpr const char* kPreviewUsage = "用法：orvane-zentrel preview --site N FILE... [--data-dir DIR]\n";

struct PreviewArguments {
    int site = 0;
    std::vector<std::string> files;
};

std::optional<PreviewArguments> parseArguments(const std::vector<std::string>& args, std::ostream& err) {
    PreviewArguments parsed;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::optional<std::string> siteText;
        if (arg == "--site") {
            if (i + 1 >= args.size()) {
                err << "--site 需要一个站点序号\n" << kPreviewUsage;
                return std::nullopt;
            }
            siteText = args[++i];
        } else if (arg.rfind("--site=", 0) == 0) {
            siteText = arg.substr(7);
        } else {
            parsed.files.push_back(arg);
            continue;
        }
        std::optional<int> number = siteNumber(*siteText);
        if (!number) {
            err << "站点序号无效：" << *siteText << "\n" << kPreviewUsage;
            return std::nullopt;
        }
        parsed.site = *number;
    }
    if (parsed.site == 0 || parsed.files.empty()) {
        err << kPreviewUsage;
        return std::nullopt;
    }
    return parsed;
}

void printDraft(const content::ArticleDraft& draft, std::ostream& out) {
    std::string flags;
    for (char letter : draft.flags) {
        if (!flags.empty()) flags.push_back(',');
        flags.push_back(letter);
    }
    out << "title: " << draft.title << "\n"
        << "shorttitle: " << draft.shorttitle << "\n"
        << "tags: " << draft.tags << "\n"
        << "keywords: " << draft.keywords << "\n"
        << "writer: " << draft.writer << "\n"
        << "typeid: " << draft.typeId << "\n"
        << "filename: " << draft.filename << "\n"
        << "description: " << draft.description << "\n"
        << "click: " << draft.click << "\n"
        << "flags[]: " << flags << "\n"
        << "body: " << draft.body << "\n";
}

// The article's local pictures: the file each names and whether it will be uploaded with it.
void printPictures(const content::ArticleDraft& draft, std::ostream& out) {
    for (const content::LocalPicture& picture : content::localPictures(draft.body, draft.path)) {
        const content::PictureFile file = content::readPictureFile(picture.file);
        out << "picture: " << content::displayText(picture.written) << " = "
            << content::displayText(picture.file);
        if (file.problem.empty()) {
            out << "（将上传，" << file.type->extension << "，" << file.bytes.size() << " 字节）\n";
        } else {
            out << "（无法上传：" << file.problem << "，文章不会发布）\n";
        }
    }
}

}  // namespace

// Composes each article file as site N would publish it (lists, pickers, insertions and the
// fields drawn at submission) and prints the add-article form's fields, then each local picture
// with the file it names and whether it will be uploaded; nothing is sent.
int previewCommand(const CommandContext& context) {
    std::optional<PreviewArguments> args = parseArguments(context.args, context.err);
    if (!args) return 2;

    config::SettingsFile settings;
    const std::optional<config::SiteConfig> stored =
        loadStoredSite(context.dataDir, args->site, settings, context.err);
    if (!stored) return 2;
    const config::SiteConfig& site = *stored;

    // The lists and their pickers live for the whole preview, as they live for a site's run.
    content::SitePools pools = content::buildSitePools(site, content::ListingMethod::Complete);
    int status = 0;
    for (const std::string& file : args->files) {
        std::optional<content::ArticleDraft> draft = content::compose(site, pools, file);
        if (!draft) {
            context.out << "文章不存在：" << content::displayText(file) << "\n";
            status = 1;
            continue;
        }
        content::applyInsertions(*draft, site, pools);
        content::drawSubmissionFields(*draft, site);
        printDraft(*draft, context.out);
        printPictures(*draft, context.out);
    }
    return status;
}

}  // namespace oz::app
