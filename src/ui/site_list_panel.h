#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "config/site_config.h"
#include "ui/ui_services.h"

class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace oz::config {
class SettingsFile;
}

namespace oz::ui {

class BackgroundWork;

// Deletes the sections of the sites after the first `siteCount` ("站点序号_" + k) and their byte
// values beside the file: the exit and the export leave no deleted site behind.
void deleteStaleSites(config::SettingsFile& file, int siteCount);

// The site list 列表框 and its buttons: the entries with their check marks (启用), the multi-check
// rule, adding, modifying, deleting, clearing and moving entries, and the export and import of the
// whole list as a settings-format file. It owns the SiteList in memory; the settings file is the
// window's, reached through the hooks.
class SiteListPanel final : public QWidget {
    Q_OBJECT
   public:
    struct Hooks {
        // The record the site form shows, as "添加" stores it.
        std::function<config::SiteConfig()> formSite;
        // A publishing run is going: the check marks stay as they are.
        std::function<bool()> isRunning;
        // Writes 启用 of these rows to the settings file at once (one call per operator action).
        std::function<void(const std::vector<int>& rows)> storeChecks;
    };

    SiteListPanel(const UiServices& services, Hooks hooks, QWidget* parent = nullptr);
    ~SiteListPanel() override;  // waits for an export or import still going

    const config::SiteList& list() const { return m_list; }
    int currentRow() const;
    // The list as the global save stores it (its current entry included).
    config::SiteList listForSave() const;

    // The start-up's list: shown, and entry `current` made current (none when out of range).
    void loadList(config::SiteList list, int current);
    // The last paths of the import and export dialogs (RunOptions 导入路径, 导出路径).
    void setFilePaths(const std::string& importPath, const std::string& exportPath);
    const std::string& importPath() const { return m_importPath; }
    const std::string& exportPath() const { return m_exportPath; }

    // `saveSite`: the routine behind "添加" and "修改". Returns the entry's index, or -1 when
    // nothing was stored; `silent` shows no box.
    int saveSite(bool modify, int index = -2, bool silent = false);
    int appendSite(const config::SiteConfig& site);
    // Appends the sites checked; the last becomes the current entry (shown once).
    void appendSites(const std::vector<config::SiteConfig>& sites);
    void storeSiteTree(int row, const config::SiteConfig& record);
    void selectSite(int row);
    void deleteSite();
    void clearSites();
    void moveSite(int step);
    // The export writes and the import reads its file on a thread of its own (a tenth of a second
    // and more with a thousand sites); the result is said, or the sites appended, when it is done.
    // A click meanwhile does nothing.
    void exportSites();
    void importSites();
    void setAllChecks(int how);  // 0 check all, 1 uncheck all, 2 invert
    // The multi-check rule for a selection change to `row` with the given keys held.
    void applyMultiCheck(int row, Qt::KeyboardModifiers modifiers);

    // A run started or ended: the stop button takes the place of the editing buttons, and the
    // entries that take no part are greyed.
    void setRunning(bool running);
    // A site that takes part in the run has finished: its entry is greyed.
    void markFinished(int row);

   protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

   signals:
    // The current entry changed (-1: none), or its record was replaced: the form shows it.
    void currentChanged(int row);
    void countChanged(int count);
    void stopSiteRequested(int row);
    // An export or an import has ended (its message, if any, answered).
    void fileWorkFinished();

   private:
    void appendEntry(const config::SiteConfig& site);
    void setEntryText(int row);
    void onCurrentRowChanged(int row);
    void onItemChanged(QListWidgetItem* item);
    // Sets a site's check mark in memory and on its entry; the caller stores the changed rows.
    void setEnabled(int row, bool enabled);
    void updateStopButton();
    void setListCurrent(int row);

    UiServices m_services;
    Hooks m_hooks;
    config::SiteList m_list;
    std::string m_importPath;
    std::string m_exportPath;

    QListWidget* m_view = nullptr;
    QWidget* m_editButtons = nullptr;
    QPushButton* m_modify = nullptr;
    QPushButton* m_stopSite = nullptr;
    int m_lastClicked = -1;
    // The entry under the last mouse press and its check mark then (for the double click).
    QListWidgetItem* m_pressedItem = nullptr;
    Qt::CheckState m_pressedState = Qt::Unchecked;
    bool m_fillingList = false;
    bool m_running = false;
    std::unique_ptr<BackgroundWork> m_fileWork;
};

}  // namespace oz::ui
