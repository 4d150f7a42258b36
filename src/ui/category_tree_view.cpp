#include "ui/category_tree_view.h"

#include <QStringList>
#include <QTreeWidget>

namespace oz::ui {

namespace {

// The category's own name, beside the shown "name[id]".
constexpr int kNameRole = Qt::UserRole + 1;

QTreeWidgetItem* newItem(const backend::CategoryItem& category) {
    auto* item = new QTreeWidgetItem(QStringList{QString::fromStdString(category.displayText())});
    item->setData(0, Qt::UserRole, category.id);
    item->setData(0, kNameRole, QString::fromStdString(category.name));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, category.checked ? Qt::Checked : Qt::Unchecked);
    return item;
}

// Appends an item at `level` below the last item of level - 1 (top level without one).
void appendAtLevel(QTreeWidget* tree, std::vector<QTreeWidgetItem*>& path, int level, QTreeWidgetItem* item) {
    level = std::max(1, std::min(level, static_cast<int>(path.size()) + 1));
    path.resize(static_cast<std::size_t>(level - 1));
    if (path.empty()) {
        tree->addTopLevelItem(item);
    } else {
        path.back()->addChild(item);
    }
    path.push_back(item);
}

}  // namespace

std::vector<QTreeWidgetItem*> treeItems(const QTreeWidget* tree) {
    std::vector<QTreeWidgetItem*> items;
    for (QTreeWidgetItemIterator it(const_cast<QTreeWidget*>(tree)); *it; ++it) items.push_back(*it);
    return items;
}

std::string encodeCategoryTree(const QTreeWidget* tree) {
    std::vector<backend::CategoryItem> items;
    for (QTreeWidgetItem* item : treeItems(tree)) {
        backend::CategoryItem category;
        category.id = item->data(0, Qt::UserRole).toInt();
        category.name = item->data(0, kNameRole).toString().toStdString();
        for (QTreeWidgetItem* p = item->parent(); p; p = p->parent()) ++category.level;
        category.checked = item->checkState(0) == Qt::Checked;
        items.push_back(std::move(category));
    }
    return backend::encodeCategoryTree(items);
}

bool decodeCategoryTree(QTreeWidget* tree, const std::string& bytes) {
    tree->clear();
    if (!backend::isStoredTreeForm(bytes)) return false;
    fillCategoryTree(tree, backend::decodeCategoryTree(bytes));
    return true;
}

void fillCategoryTree(QTreeWidget* tree, const std::vector<backend::CategoryItem>& items) {
    tree->clear();
    std::vector<QTreeWidgetItem*> path;
    for (const backend::CategoryItem& c : items) appendAtLevel(tree, path, c.level, newItem(c));
    tree->expandAll();
}

std::vector<int> checkedTreeIdList(const QTreeWidget* tree) {
    std::vector<int> ids;
    for (QTreeWidgetItem* item : treeItems(tree))
        if (item->checkState(0) == Qt::Checked) ids.push_back(item->data(0, Qt::UserRole).toInt());
    return ids;
}

std::string checkedTreeIds(const QTreeWidget* tree) {
    std::string out;
    for (int id : checkedTreeIdList(tree)) out += (out.empty() ? "" : ",") + std::to_string(id);
    return out;
}

void setAllTreeChecks(QTreeWidget* tree, int how) {
    for (QTreeWidgetItem* item : treeItems(tree)) {
        const bool on = how == 0 ? true : how == 1 ? false : item->checkState(0) != Qt::Checked;
        item->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
    }
}

int countCheckedTreeItems(const QTreeWidget* tree) {
    return static_cast<int>(checkedTreeIdList(tree).size());
}

}  // namespace oz::ui
