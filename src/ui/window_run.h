#pragma once

#include <QObject>
#include <QString>
#include <filesystem>
#include <memory>

#include "backend/run_settings.h"
#include "config/run_options.h"
#include "config/site_config.h"
#include "content/article_source.h"
#include "engine/publish_run.h"
#include "engine/run_observer.h"

namespace oz::ui {

// The run options as the main window's controls hold them. The window sends a fresh copy on every
// control change, so the engine reads each option at the moment of use.
struct RunSettingsSnapshot {
    config::RunOptions options;
    bool htmlAllCategories = false;  // 选择框HTML所有栏目 (not stored)
};

// The window's side of a run: owns the PublishRun, which executes on threads of its own, and turns
// every observer call into a queued signal carrying values, so the receivers run on the thread
// this object lives on (the window thread) and never wait on the run.
class WindowRun final : public QObject {
    Q_OBJECT
   public:
    WindowRun(std::filesystem::path dataDir, const text::Clock* clock = nullptr, QObject* parent = nullptr);
    ~WindowRun() override;  // aborts a running run and joins it

    // The options the run reads at the moment of use; thread-safe.
    backend::OptionsRunSettings& settings() { return m_settings; }
    void updateSettings(const RunSettingsSnapshot& snapshot) {
        m_settings.update(snapshot.options, snapshot.htmlAllCategories);
    }

    // The start/stop toggle of 按钮开始更新: idle, starts a run over a copy of `sites` and returns
    // true; otherwise asks the run to stop gracefully and returns false.
    bool startOrStop(const config::SiteList& sites, content::ListingMethod listing, bool scheduled);
    // Graceful stop: every site finishes at its next step, regenerations still run.
    void requestStop();
    // Cuts every transfer off at once (the exit during a run).
    void abortNow();
    // Until the run has ended, at most `timeout`; true when it has (or none was going).
    bool waitFor(std::chrono::milliseconds timeout);
    // "停止更新选定站点" for the 1-based site; false when no run is going or the site is done.
    bool stopSelectedSite(int siteIndex);

    engine::RunState state() const { return m_run->state(); }
    bool isRunning() const { return m_run->isRunning(); }
    int totalUpdated() const { return m_run->totalUpdated(); }
    int activeSites() const { return m_run->activeSites(); }

    // The button caption for a run state: "开始站群更新", "停止站群更新", "正在停止中..".
    static QString captionFor(engine::RunState state);

   signals:
    void logOpened(const QString& logFile);
    void logLine(const oz::engine::LogEntry& entry);
    void siteStarted(int siteIndex);
    void siteFinished(int siteIndex);
    void stateChanged(oz::engine::RunState state);
    void runEnded(const oz::engine::RunTotals& totals);
    // A file of the run could not be written, or an address could not be recorded.
    void writeFailed(const QString& message);

   private:
    // The run's observer, called on the run's threads; it only queues.
    class Relay final : public engine::RunObserver {
       public:
        explicit Relay(WindowRun& owner) : m_owner(owner) {}
        void logOpened(const std::filesystem::path& logFile) override;
        void logLine(const engine::LogEntry& entry) override;
        void siteStarted(int siteIndex) override;
        void siteFinished(int siteIndex) override;
        void runStateChanged(engine::RunState state) override;
        void runEnded(const engine::RunTotals& totals) override;
        void writeFailed(const std::string& message) override;

       private:
        WindowRun& m_owner;
    };

    backend::OptionsRunSettings m_settings;
    Relay m_relay{*this};
    std::unique_ptr<engine::PublishRun> m_run;
};

// Registers the value types the signals carry; WindowRun does it itself, callers that queue
// connections of their own may call it early.
void registerRunMetaTypes();

}  // namespace oz::ui

Q_DECLARE_METATYPE(oz::engine::LogEntry)
Q_DECLARE_METATYPE(oz::engine::RunTotals)
Q_DECLARE_METATYPE(oz::engine::RunState)
