#include "ui/category_tree_view.h"

#include <QStringList>
#include <QTreeWidget>

namespace oz::ui {

namespace {

constexpr char kTreeHeader[] = "OZ-TREE 1";

QTreeWidgetItem* newItem(const QString& text, int id, bool checked) {
    auto* item = new QTreeWidgetItem(QStringList{text});
    item->setData(0, Qt::UserRole, id);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
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
    if (tree->topLevelItemCount() == 0) return {};
    QString out = QString::fromLatin1(kTreeHeader) + '\n';
    for (QTreeWidgetItem* item : treeItems(tree)) {
        int level = 1;
        for (QTreeWidgetItem* p = item->parent(); p; p = p->parent()) ++level;
        out += QString::number(level) + '\t' + QString::number(item->data(0, Qt::UserRole).toInt()) + '\t' +
               (item->checkState(0) == Qt::Checked ? '1' : '0') + '\t' + item->text(0) + '\n';
    }
    return out.toStdString();
}

bool decodeCategoryTree(QTreeWidget* tree, const std::string& bytes) {
    tree->clear();
    if (bytes.empty()) return true;
    const QStringList lines = QString::fromStdString(bytes).split('\n', Qt::SkipEmptyParts);
    if (lines.isEmpty() || lines.front() != QLatin1String(kTreeHeader)) return false;
    std::vector<QTreeWidgetItem*> path;
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList fields = lines[i].split('\t');
        if (fields.size() < 4) continue;
        appendAtLevel(tree, path, fields[0].toInt(),
                      newItem(fields.mid(3).join('\t'), fields[1].toInt(), fields[2] == QLatin1String("1")));
    }
    tree->expandAll();
    return true;
}

void fillCategoryTree(QTreeWidget* tree, const std::vector<backend::CategoryItem>& items) {
    tree->clear();
    std::vector<QTreeWidgetItem*> path;
    for (const backend::CategoryItem& c : items)
        appendAtLevel(tree, path, c.level, newItem(QString::fromStdString(c.displayText()), c.id, c.checked));
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
