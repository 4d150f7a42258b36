#pragma once

#include <QElapsedTimer>
#include <QWidget>
#include <functional>
#include <memory>
#include <vector>

#include "config/run_options.h"
#include "config/site_config.h"
#include "content/article_source.h"
#include "engine/run_observer.h"
#include "ui/ui_services.h"
#include "ui/window_run.h"  // the metatypes the signals carry

class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTimer;

namespace oz::ui {

// The run bar at the foot of the main window: the run mode, the refresh options, 按钮开始更新
// (its caption is the run state), 定制刷新 with its menu, 全局更新数量, 查看日志 and the closing
// options. It owns the window's run and its status line (sites going and done, articles
// published, time taken), which the window puts into its status bar.
class RunBar final : public QWidget {
    Q_OBJECT
   public:
    struct Hooks {
        std::function<const config::SiteList&()> sites;
        // Every run option as the window's controls hold them.
        std::function<config::RunOptions()> runOptions;
        // A batch operation is going: no run may start.
        std::function<bool()> batchBusy;
    };

    RunBar(const UiServices& services, Hooks hooks, QWidget* parent = nullptr);
    ~RunBar() override;  // aborts a run still going

    // Watches the run option controls under `scope` (some sit outside the bar) and the menu, so
    // the run reads every option at the moment of use.
    void connectRules(QWidget* scope);
    QMenu* refreshMenu() const { return m_refreshMenu; }
    WindowRun& run() { return *m_run; }
    QLabel* statusLabel() const { return m_statusLabel; }
    QProgressBar* progressBar() const { return m_progress; }

    // The run state is the start button's caption.
    bool isRunning() const;
    // The operator stopped the last run (or the one going).
    bool stopAsked() const { return m_stopAsked; }
    void startOrStop(content::ListingMethod listing);
    // False when checked sites have no category checked and the operator would rather not start.
    bool sitesHaveCategories();
    void startRun(content::ListingMethod listing, bool scheduled);
    // "停止更新选定站点" for the entry at `row`.
    void stopSite(int row);
    void pushRunSettings();
    // The caption of 按钮查看日志: "关闭日志" while the log window is open.
    void setLogShown(bool shown);
    bool isLogShown() const;

   signals:
    void runningChanged(bool running);
    // A site that takes part in the run is done (0-based row).
    void siteFinished(int row);
    void runEnded(const oz::engine::RunTotals& totals);
    void logButtonClicked();

   protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

   private:
    void onStateChanged(engine::RunState state);
    void onSiteStarted(int siteIndex);
    void onSiteFinished(int siteIndex);
    void onRunEnded(const engine::RunTotals& totals);
    void onWriteFailed(const QString& message);
    void updateStatus();
    void applyEnabling();

    UiServices m_services;
    Hooks m_hooks;
    std::unique_ptr<WindowRun> m_run;
    QPushButton* m_start = nullptr;
    QPushButton* m_logButton = nullptr;
    QMenu* m_refreshMenu = nullptr;
    QLabel* m_statusLabel = nullptr;
    QProgressBar* m_progress = nullptr;
    QTimer* m_statusTimer = nullptr;
    QElapsedTimer m_runClock;
    QWidget* m_scope = nullptr;

    engine::RunState m_state = engine::RunState::Idle;
    // By row, for the run going: the site takes part (was checked at the start) / has begun its
    // turn / is done. A site that takes part and has not begun waits for a free place.
    std::vector<bool> m_takingPart;
    std::vector<bool> m_started;
    std::vector<bool> m_finished;
    int m_published = 0;
    bool m_stopAsked = false;
    bool m_writeFailureShown = false;  // the run's first failed write was said in a box
    int m_plannedTotal = 0;            // 0: not known
};

}  // namespace oz::ui
