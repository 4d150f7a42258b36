#include "app/headless_run.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <ostream>
#include <utility>

#include "config/data_folder.h"
#include "engine/publish_run.h"
#include "engine/run_log.h"
#include "schedule/shutdown_countdown.h"

namespace oz::app {

namespace {

using namespace std::chrono_literals;

constexpr auto kWatchPoll = 20ms;

// Lock-free, so the handler may touch it.
std::atomic<int> g_signals{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void countSignal(int) { g_signals.fetch_add(1); }

struct SavedHandlers {
    struct sigaction interrupt {};
    struct sigaction terminate {};
    struct sigaction hangUp {};
};
SavedHandlers g_saved;
struct sigaction g_savedPipe {};

}  // namespace

SignalCounter::SignalCounter() {
    g_signals = 0;
    struct sigaction action {};
    action.sa_handler = countSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_saved.interrupt);
    sigaction(SIGTERM, &action, &g_saved.terminate);
    // A closed terminal asks for a proper stop as well.
    sigaction(SIGHUP, &action, &g_saved.hangUp);
}

SignalCounter::~SignalCounter() {
    sigaction(SIGINT, &g_saved.interrupt, nullptr);
    sigaction(SIGTERM, &g_saved.terminate, nullptr);
    sigaction(SIGHUP, &g_saved.hangUp, nullptr);
}

IgnoreBrokenPipe::IgnoreBrokenPipe() {
    struct sigaction action {};
    action.sa_handler = SIG_IGN;
    sigemptyset(&action.sa_mask);
    sigaction(SIGPIPE, &action, &g_savedPipe);
}

IgnoreBrokenPipe::~IgnoreBrokenPipe() { sigaction(SIGPIPE, &g_savedPipe, nullptr); }

std::atomic<int>& SignalCounter::count() { return g_signals; }

StopRequests::StopRequests(const HeadlessHooks& hooks) {
    if (hooks.interrupts != nullptr) {
        m_count = hooks.interrupts;
    } else {
        m_count = &m_signals.emplace().count();
    }
}

void stopForRequest(engine::PublishRun& run, int requests) {
    if (requests == 1) {
        run.requestStop();
    } else {
        run.abortNow();
    }
}

InterruptWatcher::InterruptWatcher(std::atomic<int>& counter, std::function<void(int requests)> onRequest) {
    const int baseline = counter.load();
    m_thread = std::thread([this, &counter, baseline, onRequest = std::move(onRequest)] {
        int told = 0;
        while (!m_end.load()) {
            const int requests = counter.load() - baseline;
            if (requests > told) {
                told = requests;
                onRequest(requests);
            }
            std::this_thread::sleep_for(kWatchPoll);
        }
    });
}

InterruptWatcher::~InterruptWatcher() {
    m_end = true;
    m_thread.join();
}

void PrintingObserver::logOpened(const std::filesystem::path&) {
    std::lock_guard lock(m_mutex);
    // A new run numbers its lines from 0 again.
    for (auto& [sequence, entry] : m_early) write(entry);
    m_early.clear();
    m_nextSequence = 0;
}

void PrintingObserver::logLine(const engine::LogEntry& entry) {
    {
        std::lock_guard lock(m_mutex);
        if (entry.sequence > m_nextSequence) {
            m_early.emplace(entry.sequence, entry);
        } else {
            write(entry);
            m_nextSequence = std::max(m_nextSequence, entry.sequence + 1);
            for (auto next = m_early.begin(); next != m_early.end() && next->first == m_nextSequence;
                 next = m_early.erase(next)) {
                write(next->second);
                ++m_nextSequence;
            }
        }
    }
    if (m_hooks.onLogLine) m_hooks.onLogLine(entry);
}

void PrintingObserver::runEnded(const engine::RunTotals& totals) {
    {
        // Every line of the run has been handed over by now.
        std::lock_guard lock(m_mutex);
        for (auto& [sequence, entry] : m_early) write(entry);
        m_early.clear();
    }
    if (m_hooks.onRunEnded) m_hooks.onRunEnded(totals);
}

void PrintingObserver::writeFailed(const std::string& message) {
    std::lock_guard lock(m_mutex);
    m_err << message << '\n';
    m_err.flush();
}

void PrintingObserver::print(const std::string& line) {
    std::lock_guard lock(m_mutex);
    writeLine(line);
}

void PrintingObserver::write(const engine::LogEntry& entry) {
    if (entry.isSeparator()) {
        writeLine(std::string(engine::kSeparatorLine));
    } else {
        writeLine(entry.time + '\t' + entry.siteLabel + '\t' + entry.text);
    }
}

void PrintingObserver::writeLine(const std::string& line) {
    if (!m_out) return;  // closed: dropped
    m_out << line << '\n';
    m_out.flush();
}

StopRouter::StopRouter(std::atomic<int>& counter, PrintingObserver& printer) : m_printer(printer) {
    m_watcher = std::make_unique<InterruptWatcher>(counter, [this](int) { route(); });
}

StopRouter::~StopRouter() { m_watcher.reset(); }

void StopRouter::startRun(engine::PublishRun& run, const config::SiteList& sites,
                          content::ListingMethod listing, bool scheduled) {
    std::lock_guard lock(m_mutex);
    m_run = &run;
    m_runRequests = 0;
    run.startRun(sites, listing, scheduled);
}

void StopRouter::endRun() {
    std::lock_guard lock(m_mutex);
    m_run = nullptr;
}

void StopRouter::beginCountdown(schedule::ShutdownCountdown& countdown) {
    std::lock_guard lock(m_mutex);
    m_countdown = &countdown;
}

void StopRouter::endCountdown() {
    std::lock_guard lock(m_mutex);
    m_countdown = nullptr;
}

void StopRouter::route() {
    std::lock_guard lock(m_mutex);
    if (m_run != nullptr && m_run->isRunning()) {
        stopForRequest(*m_run, ++m_runRequests);
    } else if (m_countdown != nullptr) {
        if (m_countdown->stop()) m_printer.print(std::string(schedule::kShutdownStoppedMessage));
        m_countdown = nullptr;  // stopped: a further request is an idle one
    } else {
        m_idleStop = true;
    }
}

std::unique_ptr<config::SettingsFile> openSettings(const std::filesystem::path& dataDir, std::ostream& err) {
    const std::filesystem::path path = dataDir / config::kSettingsFileName;
    std::error_code ignored;
    if (!std::filesystem::is_regular_file(path, ignored)) {
        err << "找不到设置文件：" << path.string() << "\n";
        return nullptr;
    }
    auto file = std::make_unique<config::SettingsFile>();
    if (!file->open(path)) {
        err << file->lastError() << "\n";
        return nullptr;
    }
    if (!file->notice().empty()) err << file->notice() << "\n";
    return file;
}

bool endOfRun(const engine::RunTotals& totals, bool shutdownWhenDone, bool allowPowerOff, bool scheduled,
              PrintingObserver& printer, const HeadlessHooks& hooks, StopRouter& stops) {
    if (!shutdownWhenDone || !allowPowerOff) {
        if (!scheduled) printer.print(engine::completionMessage(totals));
        if (shutdownWhenDone) printer.print("（已勾选“更新完成关机”，但未给出 --allow-poweroff，不关机）");
        return false;
    }
    schedule::SystemPowerControl systemPower;
    schedule::PowerControl& power = hooks.power != nullptr ? *hooks.power : systemPower;
    const text::Clock& clock = hooks.clock != nullptr ? *hooks.clock : text::systemClock();
    schedule::ShutdownCountdown countdown(power, clock);
    printer.print(std::string(schedule::kCountdownTitle) + "（再按 Ctrl+C 停止关机）");
    printer.print(schedule::ShutdownCountdown::labelFor(countdown.remaining()));
    stops.beginCountdown(countdown);
    const bool poweredOff = countdown.run([&](const std::string& label) { printer.print(label); });
    stops.endCountdown();
    return poweredOff;
}

}  // namespace oz::app
