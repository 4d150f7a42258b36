#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "backend/admin_session.h"
#include "backend/backend_context.h"

namespace oz::backend {

// The message shown when the category list cannot be read because the login failed.
inline constexpr const char* kCategoryLoginFailedMessage =
    "登录失败，请检查是否正确填写了域名、用户名和密码\r\n\r\n失败记录已保存到软件目录下的【登录失败.htm】中，"
    "请将它发送给Orvane分析";

// kCategoryLoginFailedMessage with the back end's reason ("你的密码错误!") on a line of its own.
std::string categoryLoginFailedMessage(std::string_view reason);

// One category of a site's tree, in document order.
struct CategoryItem {
    int id = 0;
    std::string name;
    int depth = 1;    // 1 + the number of "─" marks before the name
    int parent = -1;  // index of the parent item in the list; -1 for a top-level item
    int level = 1;    // place in the tree: 1 for a top-level item, parent's level + 1 below
    bool checked = false;

    // name (its character references decoded) + "[" + id + "]"; `name` keeps the page's bytes.
    std::string displayText() const;
};

// The category tree of the add-article page: the options of its `select` with id "typeid", each
// name after its depth marks ("─", on DedeBIZ after a "└"). Options whose value is not a positive
// number (the placeholder) are skipped. An item's parent is found
// by walking up from the item before it to the first ancestor of depth - 1; without one it is a
// top-level item. Items whose id is in checkedIds are checked.
std::vector<CategoryItem> parseCategoryTree(std::string_view page, const std::set<int>& checkedIds = {});

// The category tree of the logged-in site's add-article page; std::nullopt when the answer holds
// no category list (`answer`, may be null, receives it).
std::optional<std::vector<CategoryItem>> readCategoryItems(AdminSession& session,
                                                           const BackendContext& context,
                                                           const std::set<int>& checkedIds = {},
                                                           http::PageAnswer* answer = nullptr);

// `readCategoryTree`: reads the add-article page of the logged-in site and parses it; an answer
// without the category list gives an empty tree, and `whyEmpty` (may be null) then says what the
// answer was.
std::vector<CategoryItem> readCategoryTree(AdminSession& session, const BackendContext& context,
                                           const std::set<int>& checkedIds = {},
                                           std::string* whyEmpty = nullptr);

struct CategoryListResult {
    bool loggedIn = false;
    std::vector<CategoryItem> items;
    int attempts = 0;  // readings made (up to 3 while the tree comes back empty)
    // Why the login failed, or what the last empty reading was; empty when the tree was read.
    std::string failureReason;
};

// `readCategoryList` without its window: logs in, then reads the tree up to three times while it
// comes back empty. On a failed login the tree is empty (the caller shows
// kCategoryLoginFailedMessage). `onRetry` (may be empty) is told the attempt number after each
// empty reading.
CategoryListResult readCategoryList(AdminSession& session, const BackendContext& context,
                                    const std::set<int>& checkedIds = {},
                                    const std::function<void(int attempt)>& onRetry = {});

// The checked ids of a tree, in tree order, joined by "," (the site's 栏目ID).
std::string checkedCategoryIds(const std::vector<CategoryItem>& items);

}  // namespace oz::backend
