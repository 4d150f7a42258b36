#pragma once

#include <QElapsedTimer>
#include <QMainWindow>
#include <QPointer>
#include <memory>
#include <thread>

#include "config/run_options.h"
#include "config/site_config.h"
#include "content/article_source.h"
#include "engine/run_observer.h"
#include "ui/ui_services.h"

class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QProgressBar;
class QPushButton;
class QSystemTrayIcon;
class QTimer;
class QTreeWidget;

namespace oz::ui {
class BatchToolsWindow;
class LogWindow;
class ScheduleWindow;
class WindowRun;
}  // namespace oz::ui

namespace oz::config {
class SettingsFile;
}

namespace oz::ui {

// The main window: the site list and every site's options, the run options, the start button.
// It owns the site list in memory; the settings file (opened by the caller, kept open for the
// program's life) is written by the global save, at exit and on every check-mark change.
class MainWindow final : public QMainWindow {
    Q_OBJECT

   public:
    MainWindow(config::SettingsFile& settings, UiServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // What the other windows (the batch tools, the schedule) use.
    const config::SiteList& siteList() const { return m_list; }
    config::RunOptions runOptions() const;
    // The record the window shows, as "添加" would store it.
    config::SiteConfig readSiteFromWindow() const;
    void showSite(int index);
    // `saveSite`: the routine behind "添加" and "修改" (and a bulk import, with silent set).
    // Returns the entry's index, or -1 when nothing was stored.
    int saveSite(bool modify, int index = -2, bool silent = false);
    // A bulk import's site, already checked against the list: appended checked and made current.
    int appendSite(const config::SiteConfig& site);
    // A batch reading's result: the tree of `record` replaces the one of entry `row` (shown again
    // when it is the current entry).
    void storeSiteTree(int row, const config::SiteConfig& record);
    // Makes entry `row` the current one and shows it, as a click on it would.
    void selectSite(int row);
    // The site group's editing controls: off while a run or a batch operation is going.
    void setSiteEditingEnabled(bool enabled);
    bool isRunning() const;
    // True while the batch tools window runs one of its operations.
    bool isBatchBusy() const;
    void refreshFrameTitle();

    void globalSave();
    // The exit sequence without the question: save, delete stale sections.
    void saveForExit();

    // The schedule window, once the link or the start-up has made it (owned by this window).
    ScheduleWindow* scheduleWindow() const { return m_scheduleWindow; }
    // The batch tools window, once the link has made it (owned by this window).
    BatchToolsWindow* batchToolsWindow() const { return m_batchWindow; }

    // The multi-check rule for a selection change to `row` with the given keys held.
    void applyMultiCheck(int row, Qt::KeyboardModifiers modifiers);

   public slots:
    void deleteSite();
    void clearSites();
    void moveSite(int step);
    void exportSites();
    void importSites();
    void setAllChecks(int how);  // 0 check all, 1 uncheck all, 2 invert
    void readCategoryList();
    void showHelp();
    void openBatchTools();
    void openSchedule();
    void toggleLogWindow();
    void startOrStopRun(content::ListingMethod listing);
    void stopSelectedSite();

   signals:
    void categoryReadFinished();
    // A run ended and its completion message (if any) was answered.
    void runFinished();

   protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

   private:
    void buildControls();
    QWidget* buildHeader();
    QWidget* buildSiteColumn();
    QWidget* buildArticleOptions();
    QWidget* buildFileOptions();
    QWidget* buildEnhancements();
    QWidget* buildRunBar();
    void connectRules();
    void applyEnabling();
    void loadStartup();
    void setEntryText(int row);
    void appendEntry(const config::SiteConfig& site);
    void onCurrentRowChanged(int row);
    void onItemChanged(QListWidgetItem* item);
    void storeEnabled(int row, bool enabled);
    void openCategoryPage();
    void onTreeCurrentChanged();
    void editList(const QString& buttonName);
    void chooseArticleFolder();
    void startRun(content::ListingMethod listing, bool scheduled);
    ScheduleWindow* ensureScheduleWindow();
    void onRunStateChanged(engine::RunState state);
    void onSiteFinished(int siteIndex);
    void onRunEnded(const engine::RunTotals& totals);
    void updateStatus();
    void pushRunSettings();

    config::SettingsFile& m_settings;
    UiServices m_services;
    config::SiteList m_list;
    config::RunOptions m_options;  // import/export paths and the scheduler keys between saves

    QLabel* m_saveLink = nullptr;
    QListWidget* m_siteListView = nullptr;
    QTreeWidget* m_tree = nullptr;
    QPushButton* m_start = nullptr;
    QPushButton* m_stopSite = nullptr;
    QPushButton* m_modify = nullptr;
    QPushButton* m_readCategories = nullptr;
    QPushButton* m_logButton = nullptr;
    QWidget* m_editButtons = nullptr;
    QMenu* m_refreshMenu = nullptr;
    QSystemTrayIcon* m_tray = nullptr;
    QLabel* m_statusLabel = nullptr;
    QProgressBar* m_progress = nullptr;
    QTimer* m_statusTimer = nullptr;
    QElapsedTimer m_runClock;

    int m_lastClicked = -1;
    bool m_fillingList = false;
    bool m_exiting = false;
    bool m_shownOnce = false;
    engine::RunState m_runState = engine::RunState::Idle;
    int m_finishedSites = 0;
    int m_published = 0;
    int m_plannedTotal = 0;  // 0: not known

    // A category block in a form this program does not read, kept with its 栏目ID while the tree
    // shows nothing.
    std::string m_foreignTree;
    std::string m_foreignIds;
    int m_foreignCurrentItem = 0;
    std::thread m_categoryThread;
    std::unique_ptr<WindowRun> m_run;
    LogWindow* m_logWindow = nullptr;
    ScheduleWindow* m_scheduleWindow = nullptr;
    BatchToolsWindow* m_batchWindow = nullptr;
};

}  // namespace oz::ui
