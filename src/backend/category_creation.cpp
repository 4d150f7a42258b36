#include "backend/category_creation.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>

#include "backend/answer_reader.h"
#include "backend/backend_family.h"
#include "backend/category_tree.h"
#include "backend/html_elements.h"
#include "backend/url_encoding.h"
#include "config/atomic_file.h"
#include "config/number_text.h"
#include "text/characters.h"
#include "text/charset.h"
#include "text/cleaning.h"
#include "text/markers.h"

namespace oz::backend {

namespace {

constexpr const char* kDefaultParentDir = "{cmspath}/a";
constexpr int kParentDirTries = 5;

bool isBlank(std::string_view line) { return line.find_first_not_of(" \t\r\n") == std::string_view::npos; }

// The parent's own folder from its edit form, or the default after five empty answers.
std::string parentFolder(BatchSite& site, const BatchEnvironment& env, int parentId) {
    for (int attempt = 1; attempt <= kParentDirTries; ++attempt) {
        if (attempt > 1 && !env.pause(1000)) break;
        AdminSession session = site.session();
        std::string page =
            getPage(session, env.backend,
                    backEndBaseUrl(site.site) + "/catalog_edit.php?id=" + std::to_string(parentId),
                    siteAnswerDecoding(site.site));
        std::string dir = elementAttribute(findElement(page, "input", "id", "typedir"), "value");
        if (!dir.empty()) return dir;
    }
    return kDefaultParentDir;
}

// How many categories of each parent and name a site holds, as its add-article page lists them.
using CategoryCensus = std::map<std::pair<int, std::string>, int>;

std::pair<int, std::string> censusKey(int parentId, std::string_view name) {
    return {parentId, text::trimBlanks(text::decodeEntities(name))};
}

// std::nullopt when the page holds no category list.
std::optional<CategoryCensus> readCensus(BatchSite& site, const BatchEnvironment& env) {
    AdminSession session = site.session();
    const std::optional<std::vector<CategoryItem>> read = readCategoryItems(session, env.backend);
    if (!read) return std::nullopt;
    CategoryCensus census;
    const std::vector<CategoryItem>& items = *read;
    for (const CategoryItem& item : items) {
        const int parentId = item.parent < 0 ? 0 : items[static_cast<std::size_t>(item.parent)].id;
        ++census[censusKey(parentId, item.name)];
    }
    return census;
}

}  // namespace

CategoryFields parseCategoryLine(std::string_view line) {
    std::array<std::string, 10> f;
    std::size_t start = 0;
    for (std::size_t i = 0; i < f.size(); ++i) {
        std::size_t bar = line.find('|', start);
        f[i] = std::string(line.substr(start, bar == std::string_view::npos ? bar : bar - start));
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    CategoryFields fields;
    fields.name = f[0];
    fields.typeDir = f[1];
    if (!f[2].empty()) fields.listTemplate = f[2];
    fields.seoTitle = f[3].empty() ? f[0] : f[3];
    fields.keywords = f[4].empty() ? f[0] : f[4];
    // The attribute is 1, 2 or 3 (a fraction is cut off); anything else, however large, gives 0.
    const double attribute = config::parseNumber(f[5]);
    fields.ispart = attribute >= 1 && attribute < 4 ? static_cast<int>(attribute) - 1 : 0;
    fields.description = f[6];
    if (!f[7].empty()) fields.articleRule = f[7];
    if (!f[8].empty()) fields.listRule = f[8];
    if (!f[9].empty()) fields.articleTemplate = f[9];
    return fields;
}

std::vector<CategoryInputLine> categoryLinesFromText(std::string_view text, int parentId) {
    std::vector<CategoryInputLine> lines;
    for (std::string_view line : text::splitLines(text)) {
        if (!isBlank(line)) lines.push_back({std::string(line), parentId});
    }
    return lines;
}

bool categoryLinesFromFiles(const std::vector<std::filesystem::path>& files,
                            std::vector<CategoryInputLine>& lines, std::string& problem) {
    for (const std::filesystem::path& file : files) {
        std::string error;
        auto bytes = config::readWholeFile(file, error);
        if (!bytes) {
            problem = "无法读取文件：" + file.string() + (error.empty() ? "" : "（" + error + "）");
            return false;
        }
        // As the operator's editor saved it: UTF-8, GBK or UTF-16.
        const std::optional<std::string> text = text::operatorFileText(*bytes);
        if (!text) {
            problem = "文件不是可读的文本（请存为 UTF-8、GBK 或 Unicode）：" + file.string();
            return false;
        }
        int parent = config::toInt(config::parseNumber(file.stem().string()));
        for (CategoryInputLine& line : categoryLinesFromText(*text, std::max(parent, 0))) {
            lines.push_back(std::move(line));
        }
    }
    return true;
}

std::string categoryAddBody(const CategoryFields& f, int parentId, const std::string& nextDir,
                            const CreateCategoriesOptions& options, bool utf8) {
    auto e = [utf8](const std::string& value) { return urlEncode(value, utf8); };
    return "dopost=save&reid=" + std::to_string(parentId) +
           "&topid=0&issend=1&ishidden=" + (options.visible ? "0" : "1") +
           "&channeltype=1&typename=" + e(f.name) + "&sortrank=50&corank=0&nextdir=" + e(nextDir) +
           "&typedir=" + e(f.typeDir) + "&referpath=parent&isdefault=" + e(options.isDefault) +
           "&defaultname=index.html&ispart=" + std::to_string(f.ispart) +
           "&cross=0&crossid=&moresite=0&siteurl=&dfstyle=%7Bstyle%7D&tempindex=%7Bstyle%7D%2Findex_article."
           "htm"
           "&templist=%7Bstyle%7D%2F" +
           e(f.listTemplate) + "&temparticle=" + e(f.articleTemplate) + "&namerule=" + e(f.articleRule) +
           "&namerule2=" + e(f.listRule) + "&seotitle=" + e(f.seoTitle) + "&keywords=" + e(f.keywords) +
           "&description=" + e(f.description) + "&content=&imageField.x=26&imageField.y=8";
}

BatchReport createCategories(const std::vector<BatchTarget>& targets, const CreateCategoriesOptions& options,
                             const BatchEnvironment& env) {
    BatchReport result;
    result.title = "全部创建完成！";
    result.failureTitle = "失败的栏目：";
    const std::size_t total = options.lines.size();
    std::size_t position = 0;  // mode 1: where the next site's lines start
    batchSiteLoop(targets, env, result, [&](BatchSite& site) {
        const std::string& domain = site.label;
        if (!loginForBatch(site, env, domain + "\r\n登录中...", result.report)) return;
        std::vector<const CategoryInputLine*> mine;
        if (options.mode == 1) {
            std::size_t k =
                static_cast<std::size_t>(env.backend.randomBetween(options.countMin, options.countMax));
            for (std::size_t i = 0; i < std::min(k, total); ++i)
                mine.push_back(&options.lines[(position + i) % total]);
            if (total > 0) position = (position + std::min(k, total)) % total;
        } else {
            for (const CategoryInputLine& line : options.lines) mine.push_back(&line);
        }
        // Parent folders are looked up once per parent and site: another site keeps its own.
        std::map<int, std::string> folders;
        int successes = 0;
        int failures = 0;
        std::string failedLines;
        std::string unknownLines;
        FailureReasons reasons;
        // What the site holds before the first creation: a creation whose answer says nothing
        // trustworthy is settled by counting again, never by creating it a second time.
        std::optional<CategoryCensus> census;
        if (!mine.empty() && !env.stopped()) census = readCensus(site, env);
        for (const CategoryInputLine* input : mine) {
            if (env.stopped()) break;
            CategoryFields fields = parseCategoryLine(input->line);
            AnswerReading reading{Outcome::Refused, "栏目名称为空"};
            if (!fields.name.empty()) {
                std::string nextDir = options.parentDir.empty() ? kDefaultParentDir : options.parentDir;
                if (input->parentId != 0 && options.parentDir.empty()) {
                    auto found = folders.find(input->parentId);
                    if (found == folders.end()) {
                        found =
                            folders.emplace(input->parentId, parentFolder(site, env, input->parentId)).first;
                    }
                    nextDir = found->second;
                }
                AdminSession session = site.session();
                reading = readActionAnswer(
                    requestPage(
                        session, env.backend, backEndBaseUrl(site.site) + "/catalog_add.php",
                        categoryAddBody(fields, input->parentId, nextDir, options, isUtf8Site(site.site)),
                        siteAnswerDecoding(site.site), 0, /*sendOnce=*/true),
                    familyOf(session).categoryCreated);
            }
            const auto key = censusKey(input->parentId, fields.name);
            if (reading.done()) {
                if (census) ++(*census)[key];
            } else if (reading.outcome == Outcome::Unknown && census && !env.backend.aborted()) {
                if (std::optional<CategoryCensus> now = readCensus(site, env)) {
                    const bool created = (*now)[key] > (*census)[key];
                    census = std::move(now);
                    reading =
                        created ? AnswerReading{Outcome::Done, {}}
                                : AnswerReading{Outcome::Refused, reading.reason + "；网站后台没有这个栏目"};
                }
            }
            if (reading.done()) {
                ++successes;
            } else if (reading.safeToRepeat()) {
                ++failures;
                failedLines += input->line + "\r\n";
                reasons.add(reading.reason);
            } else {
                // Maybe created: listed apart, so that it is not simply pasted back and made twice.
                unknownLines += input->line + "\r\n";
                reasons.add(reading.reason);
            }
            env.caption(domain + "\r\n" + countsText(successes, failures) + "；" + fields.name);
        }
        if (!failedLines.empty()) {
            result.failures += "站点 " + domain + " 创建失败的栏目数据：\r\n" + failedLines + "\r\n\r\n";
        }
        if (!unknownLines.empty()) {
            result.failures += "站点 " + domain +
                               " 结果未知的栏目数据（可能已经创建，请先到网站后台确认）：\r\n" +
                               unknownLines + "\r\n\r\n";
        }
        site.failed = failures > 0 || !unknownLines.empty();
        std::string counts = domain + " " + countsText(successes, failures);
        if (!unknownLines.empty()) {
            counts += "；结果未知 " +
                      std::to_string(std::count(unknownLines.begin(), unknownLines.end(), '\n')) + " 个";
        }
        result.report += siteReportLine(site, env, counts + reasons.text(), options.refreshLists);
    });
    result.stopped = env.stopped();
    return result;
}

}  // namespace oz::backend
