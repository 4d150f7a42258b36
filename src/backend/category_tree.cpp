#include "backend/category_tree.h"

#include "backend/answer_reader.h"
#include "backend/answer_text.h"
#include "backend/html_elements.h"
#include "content/text_lines.h"
#include "text/characters.h"
#include "text/markers.h"

namespace oz::backend {
namespace {

constexpr std::string_view kDepthMark = "─";  // U+2500, repeated once per level below the top
constexpr std::string_view kCorner = "└";     // U+2514, before DedeBIZ's depth marks
constexpr int kCategoryReadAttempts = 3;

}  // namespace

std::string categoryLoginFailedMessage(std::string_view reason) {
    std::string message = kCategoryLoginFailedMessage;
    if (!reason.empty()) message += "\r\n\r\n失败原因：" + std::string(reason);
    return message;
}

// The option's text is the stored name with "&", "<" and ">" written as references: shown, the
// name reads as the operator typed it.
std::string CategoryItem::displayText() const {
    return decodeCharacterReferences(name) + "[" + std::to_string(id) + "]";
}

std::vector<CategoryItem> parseCategoryTree(std::string_view page, const std::set<int>& checkedIds) {
    std::vector<CategoryItem> items;
    std::string select = findElement(page, "select", "id", "typeid");
    if (select.empty()) return items;
    for (const std::string& option : childElements(select, "option")) {
        int id = content::lenientInt(elementAttribute(option, "value"));
        if (id <= 0) continue;
        std::string label = elementText(option);
        CategoryItem item;
        item.id = id;
        std::size_t marks = 0;
        for (std::size_t at = label.find(kDepthMark); at != std::string::npos;
             at = label.find(kDepthMark, at + 1)) {
            ++marks;
        }
        item.depth = 1 + static_cast<int>(marks);
        item.name = text::trimBlanks(text::replaceAll(label, kDepthMark, ""));
        if (marks > 0 && item.name.starts_with(kCorner)) {
            item.name = text::trimBlanks(item.name.substr(kCorner.size()));
        }
        item.checked = checkedIds.count(id) != 0;
        if (item.depth > 1) {
            for (int candidate = static_cast<int>(items.size()) - 1; candidate >= 0;
                 candidate = items[static_cast<std::size_t>(candidate)].parent) {
                if (items[static_cast<std::size_t>(candidate)].depth == item.depth - 1) {
                    item.parent = candidate;
                    break;
                }
            }
        }
        if (item.parent >= 0) item.level = items[static_cast<std::size_t>(item.parent)].level + 1;
        items.push_back(std::move(item));
    }
    return items;
}

std::optional<std::vector<CategoryItem>> readCategoryItems(AdminSession& session,
                                                           const BackendContext& context,
                                                           const std::set<int>& checkedIds,
                                                           http::PageAnswer* answer) {
    http::PageAnswer page =
        requestPage(session, context, backEndBaseUrl(session.site) + "/article_add.php?channelid=1", {},
                    siteAnswerDecoding(session.site));
    std::optional<std::vector<CategoryItem>> items;
    if (!findElement(page.text, "select", "id", "typeid").empty()) {
        items = parseCategoryTree(page.text, checkedIds);
    }
    if (answer != nullptr) *answer = std::move(page);
    return items;
}

std::vector<CategoryItem> readCategoryTree(AdminSession& session, const BackendContext& context,
                                           const std::set<int>& checkedIds, std::string* whyEmpty) {
    http::PageAnswer answer;
    std::vector<CategoryItem> items =
        readCategoryItems(session, context, checkedIds, &answer).value_or(std::vector<CategoryItem>());
    if (items.empty() && whyEmpty != nullptr) {
        *whyEmpty = readActionAnswer(answer, {}).reason;
        if (whyEmpty->empty()) *whyEmpty = "添加文章页中没有栏目列表";
    }
    return items;
}

CategoryListResult readCategoryList(AdminSession& session, const BackendContext& context,
                                    const std::set<int>& checkedIds,
                                    const std::function<void(int attempt)>& onRetry) {
    CategoryListResult result;
    result.loggedIn = login(session, context, &result.failureReason);
    if (!result.loggedIn) return result;
    for (int attempt = 1; attempt <= kCategoryReadAttempts && !context.aborted(); ++attempt) {
        result.attempts = attempt;
        result.items = readCategoryTree(session, context, checkedIds, &result.failureReason);
        if (!result.items.empty()) {
            result.failureReason.clear();
            break;
        }
        if (onRetry) onRetry(attempt);
    }
    return result;
}

std::string checkedCategoryIds(const std::vector<CategoryItem>& items) {
    std::string ids;
    for (const CategoryItem& item : items) {
        if (!item.checked) continue;
        if (!ids.empty()) ids += ',';
        ids += std::to_string(item.id);
    }
    return ids;
}

}  // namespace oz::backend
