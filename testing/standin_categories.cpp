// The stand-in's categories: their tree, and the pages that show, add and delete them
// (catalog_edit.php, catalog_add.php, catalog_del.php).

#include <algorithm>

#include "testing/standin_site.h"
#include "testing/standin_site_common.h"

namespace oz::testing {

std::vector<StandinCategory> StandinSite::sampleCategories() {
    return {{1, "新闻中心", 0, "{cmspath}/a/news"},
            {2, "技术文章", 0, "{cmspath}/a/jishu"},
            {3, "国内新闻", 1, "{cmspath}/a/news/guonei"}};
}

std::string SiteBackEnd::expandDir(const std::string& typeDir) const {
    std::string dir = typeDir;
    const std::string marker = "{cmspath}";
    if (dir.starts_with(marker)) dir.replace(0, marker.size(), m_sitePath);
    return dir;
}

const StandinCategory* SiteBackEnd::category(int id) const {
    const auto found = std::find_if(m_categories.begin(), m_categories.end(),
                                    [id](const StandinCategory& c) { return c.id == id; });
    return found == m_categories.end() ? nullptr : &*found;
}

std::vector<std::pair<int, int>> SiteBackEnd::treeOrder() const {
    std::vector<std::pair<int, int>> order;
    // Depth-first from the roots; a category whose parent is unknown counts as a root.
    std::vector<std::pair<int, int>> stack;
    for (auto it = m_categories.rbegin(); it != m_categories.rend(); ++it) {
        if (it->parentId == 0 || !category(it->parentId)) stack.emplace_back(it->id, 0);
    }
    while (!stack.empty()) {
        const auto [id, depth] = stack.back();
        stack.pop_back();
        order.emplace_back(id, depth);
        if (depth > 64) continue;  // a parent cycle in hand-made test data
        for (auto it = m_categories.rbegin(); it != m_categories.rend(); ++it) {
            if (it->parentId == id && it->id != id) stack.emplace_back(it->id, depth + 1);
        }
    }
    return order;
}

std::vector<int> SiteBackEnd::subtree(int id) const {
    std::vector<int> ids;
    if (!category(id)) return ids;
    int rootDepth = -1;
    for (const auto& [entry, depth] : treeOrder()) {
        if (rootDepth < 0) {
            if (entry == id) {
                rootDepth = depth;
                ids.push_back(entry);
            }
        } else if (depth > rootDepth) {
            ids.push_back(entry);
        } else {
            break;
        }
    }
    return ids;
}

SiteAnswer SiteBackEnd::catalogEdit(Context& context) {
    const StandinCategory* edited = category(context.fields.getInt("id"));
    if (!edited) {
        return m_family.categoryEditFailsOnUnknown ? serverError() : message(m_family.categoryUnknown, kBack);
    }
    int topId = 0;
    // Bounded: hand-made test data may hold a parent cycle.
    const StandinCategory* up = edited;
    for (int level = 0; up && up->parentId != 0 && level < 64; ++level) {
        topId = up->parentId;
        up = category(up->parentId);
    }
    return page(catalogEditPage(charsetLabel(), edited->id, topId, edited->name, edited->typeDir));
}

SiteAnswer SiteBackEnd::catalogAdd(Context& context) {
    const FormFields& fields = context.fields;
    if (fields.get("dopost") != "save") return message("增加栏目", kDone);
    const std::string name = fields.get("typename");
    if (name.empty()) return message("栏目名称不能为空！", kBack);
    const int parentId = fields.getInt("reid");
    if (parentId != 0 && !category(parentId)) return message("父栏目不存在！", kBack);

    StandinCategory added;
    added.id = m_nextCategoryId++;
    added.name = name;
    added.parentId = parentId;
    std::string nextDir = fields.get("nextdir");
    if (nextDir.empty()) nextDir = "{cmspath}/a";
    const std::string typeDir = fields.get("typedir");
    if (typeDir.empty()) {
        added.typeDir = nextDir + "/c" + std::to_string(added.id);
    } else if (fields.get("referpath") == "parent") {
        added.typeDir = nextDir + "/" + trimSlashes(typeDir);
    } else {
        added.typeDir = typeDir;
    }
    m_categories.push_back(added);
    return spoiledIfAsked(successMessage(m_family.categoryCreated, "catalog_main.php"));
}

SiteAnswer SiteBackEnd::catalogDel(Context& context) {
    if (context.fields.get("dopost") != "ok") return message("你确定要删除此栏目吗？", kDone);
    if (m_family.categoryDeletion == CategoryDeletion::AloneThenFails) {
        const int id = context.fields.getInt("id");
        if (category(id) != nullptr) {
            std::erase_if(m_categories, [id](const StandinCategory& c) { return c.id == id; });
            for (StoredArticle& article : m_articles) {
                if (article.typeId == id) article.deleted = true;
            }
        }
        return serverError();
    }
    const std::vector<int> removed = subtree(context.fields.getInt("id"));
    const bool deleteArticles = context.fields.get("delfile") == "yes";
    for (const int id : removed) {
        std::erase_if(m_categories, [id](const StandinCategory& c) { return c.id == id; });
        if (!deleteArticles) continue;
        for (StoredArticle& article : m_articles) {
            if (article.typeId == id) article.deleted = true;
        }
    }
    // The real back end answers the same whether or not the category existed.
    return successMessage(m_family.categoryDeleted, "catalog_main.php");
}

}  // namespace oz::testing
