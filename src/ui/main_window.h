#pragma once

#include <QMainWindow>
#include <map>

#include "config/run_options.h"
#include "config/site_config.h"
#include "content/article_source.h"
#include "engine/run_observer.h"
#include "ui/shared_settings.h"
#include "ui/site_list_access.h"
#include "ui/ui_services.h"

class QGroupBox;
class QLabel;
class QSystemTrayIcon;

namespace oz::config {
class SettingsFile;
}

namespace oz::ui {

class BatchToolsWindow;
class CategoryPanel;
class LogWindow;
class RunBar;
class ScheduleWindow;
class SiteFormPanel;
class SiteListPanel;

// The main window, composed of the panels of its screen: the site list (SiteListPanel), the site
// form over the binding table (SiteFormPanel), the category tree (CategoryPanel) and the run bar
// (RunBar). It wires them, owns the settings file's use (opened by the caller, kept open for the
// program's life: written by the global save, at exit and on every check-mark change) and the
// windows it opens: the log, the schedule and the batch tools.
class MainWindow final : public QMainWindow, public SiteListAccess {
    Q_OBJECT

   public:
    MainWindow(config::SettingsFile& settings, UiServices services, QWidget* parent = nullptr);
    ~MainWindow() override;

    // SiteListAccess, for the batch tools window.
    const config::SiteList& siteList() const override;
    config::SiteConfig formSite() const override;
    config::RunOptions runOptions() const override;
    bool isRunning() const override;
    void appendSites(const std::vector<config::SiteConfig>& sites) override;
    void storeSiteTree(int row, const config::SiteConfig& record) override;
    void selectSite(int row) override;
    void setSiteEditingEnabled(bool enabled) override;

    SiteListPanel& sitePanel() const { return *m_sites; }
    SiteFormPanel& formPanel() const { return *m_form; }
    CategoryPanel& categoryPanel() const { return *m_categories; }
    RunBar& runBar() const { return *m_runBar; }

    // `saveSite` of the site list, as "添加" / "修改" call it.
    int saveSite(bool modify, int index = -2, bool silent = false);
    void showSite(int row);
    bool isBatchBusy() const;

    // "全局保存": the save runs off the window thread; its box follows when it is done. A click
    // while one is going does nothing.
    void globalSave();
    // The exit sequence without the question: save, delete stale sections and their byte values,
    // save the schedule. Returns what could not be saved (file and reason), empty when all was.
    QString saveForExit();

    // The schedule window, once the link or the start-up has made it (owned by this window).
    ScheduleWindow* scheduleWindow() const { return m_scheduleWindow; }
    // The batch tools window, once the link has made it (owned by this window).
    BatchToolsWindow* batchToolsWindow() const { return m_batchWindow; }

   public slots:
    void showHelp();
    void openBatchTools();
    void openSchedule();
    void toggleLogWindow();

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
    void buildTray();
    void buildLogWindow();
    void loadStartup();
    QString writeProblem() const;
    QString folderProblem() const;
    QString saveError() const;
    void storeChecks(const std::vector<int>& rows);
    void refreshFrameTitle(int count);
    ScheduleWindow* ensureScheduleWindow();
    void onRunningChanged(bool running);
    void onRunEnded(const engine::RunTotals& totals);

    SharedSettings m_settings;  // the file opened by the caller, written by the global save off this thread
    UiServices m_services;
    config::RunOptions m_options;  // the scheduler keys between saves

    QWidget* m_central = nullptr;
    QLabel* m_saveLink = nullptr;
    QGroupBox* m_siteFrame = nullptr;
    SiteListPanel* m_sites = nullptr;
    SiteFormPanel* m_form = nullptr;
    CategoryPanel* m_categories = nullptr;
    RunBar* m_runBar = nullptr;
    QSystemTrayIcon* m_tray = nullptr;

    bool m_exiting = false;
    bool m_shownOnce = false;
    LogWindow* m_logWindow = nullptr;
    ScheduleWindow* m_scheduleWindow = nullptr;
    BatchToolsWindow* m_batchWindow = nullptr;
    // The header's pictures and links: what each does, and whether it is the link.
    struct HeaderEntry {
        void (MainWindow::*action)();
        bool isLink;
    };
    std::map<QObject*, HeaderEntry> m_header;
};

}  // namespace oz::ui
