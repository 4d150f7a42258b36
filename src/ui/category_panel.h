#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "backend/site_form.h"
#include "config/run_options.h"
#include "config/site_config.h"
#include "ui/ui_services.h"

class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace oz::ui {

// The category tree 树型框 of the site on show, with 读取栏目列表 (the reading runs on a thread of
// its own and reports back through queued calls), the check buttons, the single-check rule and
// the category pages opened in the browser. It also carries the access method combo, which sits
// above the tree.
class CategoryPanel final : public QWidget {
    Q_OBJECT
   public:
    struct Hooks {
        // The connection fields of the form (for the reading and the page address).
        std::function<backend::SiteForm()> connection;
        std::function<config::RunOptions()> runOptions;
    };

    CategoryPanel(const UiServices& services, Hooks hooks, QWidget* parent = nullptr);
    ~CategoryPanel() override;  // cuts a reading off and waits for its thread

    // Shows the site's tree (an empty one when the site has none).
    void showTree(const config::SiteConfig& site);
    // Puts the tree, its checked ids and its current item into the record.
    void storeTree(config::SiteConfig& site) const;

    void readCategoryList();
    bool isReading() const;
    // Cuts a reading off at once (the window is closing); its result is dropped.
    void abortReading();

   signals:
    void readFinished();

   protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

   private:
    void onCurrentItemChanged();
    void openCategoryPage(QTreeWidgetItem* item);

    UiServices m_services;
    Hooks m_hooks;
    QPushButton* m_read = nullptr;
    QTreeWidget* m_tree = nullptr;
    // A category block in a form this program does not read, kept with its 栏目ID while the tree
    // shows nothing.
    std::string m_foreignTree;
    std::string m_foreignIds;
    int m_foreignCurrentItem = 0;
    std::thread m_thread;
    std::atomic<bool> m_abort{false};
};

}  // namespace oz::ui
