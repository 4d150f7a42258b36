#pragma once

#include <string>
#include <vector>

#include "backend/batch_category_read.h"
#include "backend/category_tree.h"

class QTreeWidget;
class QTreeWidgetItem;

namespace oz::ui {

// The category tree 树型框: items "name[id]" with the id in Qt::UserRole and a check box.
//
// A site's 栏目数据 is the tree in the stored form of backend::encodeCategoryTree. A block in any
// other form (one written by an earlier program) is kept as it is: the tree then shows nothing, and
// the site keeps that block and its 栏目ID until a new reading replaces them.
std::string encodeCategoryTree(const QTreeWidget* tree);
// False when the bytes are not in the program's form (the tree is left empty).
bool decodeCategoryTree(QTreeWidget* tree, const std::string& bytes);

void fillCategoryTree(QTreeWidget* tree, const std::vector<backend::CategoryItem>& items);
// The checked ids in tree order, joined by ",".
std::string checkedTreeIds(const QTreeWidget* tree);
std::vector<int> checkedTreeIdList(const QTreeWidget* tree);
// 0 all checked, 1 none, 2 inverted.
void setAllTreeChecks(QTreeWidget* tree, int how);
int countCheckedTreeItems(const QTreeWidget* tree);
// The tree's items in display order (depth first).
std::vector<QTreeWidgetItem*> treeItems(const QTreeWidget* tree);

}  // namespace oz::ui
