#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "app/command_line.h"
#include "config/run_options.h"
#include "config/settings_file.h"
#include "config/site_config.h"
#include "engine/publish_run.h"
#include "engine/run_observer.h"
#include "schedule/power_control.h"
#include "schedule/shutdown_countdown.h"
#include "text/clock.h"

// The pieces the window-less commands "run" and "schedule" share: the settings file, stop
// requests from signals, printing the log as it is written and the end of a run.
namespace oz::app {

// What the headless commands take from their surroundings; tests replace every outside effect.
struct HeadlessHooks {
    const text::Clock* clock = nullptr;       // nullptr: the system clock
    schedule::PowerControl* power = nullptr;  // nullptr: the system's power-off
    // Counts stop requests. nullptr: SIGINT, SIGTERM and SIGHUP of the process count (handlers
    // installed for the command's lifetime).
    std::atomic<int>* interrupts = nullptr;
    // Called after each printed log line and after each run (tests act at chosen moments).
    std::function<void(const engine::LogEntry&)> onLogLine;
    std::function<void(const engine::RunTotals&)> onRunEnded;
};

int runCommandWith(const CommandContext& context, const HeadlessHooks& hooks);
int scheduleCommandWith(const CommandContext& context, const HeadlessHooks& hooks);

// Counts SIGINT, SIGTERM and SIGHUP while it exists (the previous handlers come back afterwards).
class SignalCounter {
   public:
    SignalCounter();
    ~SignalCounter();
    SignalCounter(const SignalCounter&) = delete;
    SignalCounter& operator=(const SignalCounter&) = delete;
    std::atomic<int>& count();
};

// While it exists, SIGPIPE is ignored: a reader of standard output that goes away (`run | head`)
// must not end the run, whose log file and summary are still written.
class IgnoreBrokenPipe {
   public:
    IgnoreBrokenPipe();
    ~IgnoreBrokenPipe();
    IgnoreBrokenPipe(const IgnoreBrokenPipe&) = delete;
    IgnoreBrokenPipe& operator=(const IgnoreBrokenPipe&) = delete;
};

// The stop requests of a command: the hooks' counter, else SIGINT, SIGTERM and SIGHUP of the
// process (counted while this exists).
class StopRequests {
   public:
    explicit StopRequests(const HeadlessHooks& hooks);
    std::atomic<int>& count() { return *m_count; }

   private:
    std::optional<SignalCounter> m_signals;
    std::atomic<int>* m_count = nullptr;
};

// The first stop request stops the run properly, the second at once.
void stopForRequest(engine::PublishRun& run, int requests);

// Watches a stop-request counter on a thread of its own and tells `onRequest` the number of
// requests made since the watcher was created (1 for the first, 2 for the second, ...).
class InterruptWatcher {
   public:
    InterruptWatcher(std::atomic<int>& counter, std::function<void(int requests)> onRequest);
    ~InterruptWatcher();
    InterruptWatcher(const InterruptWatcher&) = delete;
    InterruptWatcher& operator=(const InterruptWatcher&) = delete;

   private:
    std::atomic<bool> m_end{false};
    std::thread m_thread;
};

// Prints each log line to the stream as it is written: the file's line, in UTF-8, in the file's
// order (lines of different threads reach the observer in any order; each waits for those written
// before it). Once the stream fails (a closed pipe) nothing more is written to it.
class PrintingObserver final : public engine::RunObserver {
   public:
    PrintingObserver(std::ostream& out, std::ostream& err, const HeadlessHooks& hooks)
        : m_out(out), m_err(err), m_hooks(hooks) {}
    void logOpened(const std::filesystem::path& logFile) override;
    void logLine(const engine::LogEntry& entry) override;
    void runEnded(const engine::RunTotals& totals) override;
    // Goes to standard error as well, which a redirected log does not hide.
    void writeFailed(const std::string& message) override;
    // Prints a line of the command's own between log lines.
    void print(const std::string& line);

   private:
    void write(const engine::LogEntry& entry);  // m_mutex held
    void writeLine(const std::string& line);    // m_mutex held

    std::ostream& m_out;
    std::ostream& m_err;
    const HeadlessHooks& m_hooks;
    std::mutex m_mutex;
    std::uint64_t m_nextSequence = 0;                   // of the run's lines
    std::map<std::uint64_t, engine::LogEntry> m_early;  // lines that came before an earlier one
};

// Sends each stop request of a command where it belongs: to the run that is going (the first
// stops it properly, the second at once), else to the shutdown countdown (it stops the
// countdown only), else it is an idle request (the schedule ends). Thread-safe.
class StopRouter {
   public:
    StopRouter(std::atomic<int>& counter, PrintingObserver& printer);
    ~StopRouter();
    StopRouter(const StopRouter&) = delete;
    StopRouter& operator=(const StopRouter&) = delete;

    // Starts the run; stop requests go to it until endRun.
    void startRun(engine::PublishRun& run, const config::SiteList& sites, content::ListingMethod listing,
                  bool scheduled);
    void endRun();
    void beginCountdown(schedule::ShutdownCountdown& countdown);
    void endCountdown();
    // Set by a request that came while neither a run nor a countdown was going, or by stopAll.
    const std::atomic<bool>& idleStop() const { return m_idleStop; }
    void stopAll() { m_idleStop = true; }

   private:
    void route();

    PrintingObserver& m_printer;
    std::mutex m_mutex;
    engine::PublishRun* m_run = nullptr;
    int m_runRequests = 0;
    schedule::ShutdownCountdown* m_countdown = nullptr;
    std::atomic<bool> m_idleStop{false};
    std::unique_ptr<InterruptWatcher> m_watcher;  // made last, ended first
};

// The settings file of the data folder, opened for the command's lifetime (its lock keeps a
// window or another command from editing it meanwhile). Empty, with the message written to `err`,
// when it is missing or cannot be opened.
std::unique_ptr<config::SettingsFile> openSettings(const std::filesystem::path& dataDir, std::ostream& err);

// The end of a run without a window: the completion message, or, when "更新完成关机" is stored
// on, the shutdown countdown (only with `allowPowerOff`; a stop request through `stops` ends the
// countdown and nothing else). Returns true when the power-off was requested.
bool endOfRun(const engine::RunTotals& totals, bool shutdownWhenDone, bool allowPowerOff, bool scheduled,
              PrintingObserver& printer, const HeadlessHooks& hooks, StopRouter& stops);

}  // namespace oz::app
