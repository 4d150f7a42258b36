#include "backend/batch_category_read.h"

#include <set>

#include "backend/answer_reader.h"
#include "config/number_text.h"
#include "content/site_pools.h"
#include "text/markers.h"

namespace oz::backend {

namespace {

constexpr std::string_view kTreeHeader = "OZTREE 1";

std::string cleanName(std::string name) {
    for (char& c : name) {
        if (c == '\t' || c == '\r' || c == '\n') c = ' ';
    }
    return name;
}

}  // namespace

std::string encodeCategoryTree(const std::vector<CategoryItem>& items) {
    if (items.empty()) return {};
    std::string bytes(kTreeHeader);
    bytes += "\r\n";
    for (const CategoryItem& item : items) {
        bytes += std::to_string(item.level) + "\t" + std::to_string(item.id) + "\t" +
                 (item.checked ? "1" : "0") + "\t" + cleanName(item.name) + "\r\n";
    }
    return bytes;
}

std::vector<CategoryItem> decodeCategoryTree(std::string_view bytes) {
    std::vector<CategoryItem> items;
    std::vector<std::string_view> lines = text::splitLines(bytes);
    if (lines.empty() || lines[0] != kTreeHeader) return items;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        std::string_view line = lines[i];
        std::size_t a = line.find('\t');
        std::size_t b = a == std::string_view::npos ? a : line.find('\t', a + 1);
        std::size_t c = b == std::string_view::npos ? b : line.find('\t', b + 1);
        if (c == std::string_view::npos) return {};
        CategoryItem item;
        item.level = std::max(1, config::toInt(config::parseNumber(line.substr(0, a))));
        item.id = config::toInt(config::parseNumber(line.substr(a + 1, b - a - 1)));
        item.checked = line.substr(b + 1, c - b - 1) == "1";
        item.name = std::string(line.substr(c + 1));
        item.depth = item.level;
        // The parent is the nearest earlier item one level up; without one the item is top-level.
        int parent = static_cast<int>(items.size()) - 1;
        while (parent >= 0 && items[static_cast<std::size_t>(parent)].level >= item.level) {
            parent = items[static_cast<std::size_t>(parent)].parent;
        }
        if (parent >= 0 && items[static_cast<std::size_t>(parent)].level != item.level - 1) parent = -1;
        item.parent = parent;
        item.level = parent < 0 ? 1 : items[static_cast<std::size_t>(parent)].level + 1;
        items.push_back(std::move(item));
    }
    return items;
}

bool isStoredTreeForm(std::string_view bytes) {
    if (bytes.empty()) return true;
    std::vector<std::string_view> lines = text::splitLines(bytes);
    return !lines.empty() && lines[0] == kTreeHeader;
}

void storeCategoryTree(config::SiteConfig& site, const std::vector<CategoryItem>& items) {
    site.categoryTree = encodeCategoryTree(items);
    site.categoryIds = checkedCategoryIds(items);
}

BatchReport readCategoryLists(const std::vector<BatchTarget>& targets, const BatchReadOptions& options,
                              const BatchEnvironment& env, const TreeReadSink& store) {
    BatchReport result;
    result.title = kBatchReadDoneMessage;
    result.failureTitle = kBatchReadFailureTitle;
    batchSiteLoop(targets, env, result, [&](BatchSite& site) {
        env.caption("正在读取第 " + std::to_string(site.target.index) + " 个站点");
        if (env.stopped()) return;
        if (options.skipRead && !decodeCategoryTree(site.target.record.categoryTree).empty()) return;
        std::vector<int> ids = content::parseCategoryIds(site.target.record.categoryIds);
        AdminSession session = site.session();
        CategoryListResult read =
            readCategoryList(session, env.backend, std::set<int>(ids.begin(), ids.end()));
        const std::string& domain = site.label;
        site.failed = !read.loggedIn || read.items.empty();
        if (!read.loggedIn) {
            result.failures += domain + " 登录失败" + reasonInParentheses(read.failureReason) + "\r\n";
            return;
        }
        if (read.items.empty()) {
            result.failures +=
                domain + " 没有读到栏目列表" + reasonInParentheses(read.failureReason) + "\r\n";
            return;
        }
        if (options.checkAll) {
            for (CategoryItem& item : read.items) item.checked = true;
        }
        config::SiteConfig record = site.target.record;
        storeCategoryTree(record, read.items);
        if (store) store(site.target.index, record);
        result.report += domain + " 读取栏目 " + std::to_string(read.items.size()) + " 个\r\n";
    });
    result.stopped = env.stopped();
    return result;
}

}  // namespace oz::backend
