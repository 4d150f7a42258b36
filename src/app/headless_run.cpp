#include "app/headless_run.h"

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
};
SavedHandlers g_saved;

}  // namespace

SignalCounter::SignalCounter() {
    g_signals = 0;
    struct sigaction action {};
    action.sa_handler = countSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &g_saved.interrupt);
    sigaction(SIGTERM, &action, &g_saved.terminate);
}

SignalCounter::~SignalCounter() {
    sigaction(SIGINT, &g_saved.interrupt, nullptr);
    sigaction(SIGTERM, &g_saved.terminate, nullptr);
}

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

void PrintingObserver::logLine(const engine::LogEntry& entry) {
    {
        std::lock_guard lock(m_mutex);
        if (entry.isSeparator()) {
            m_out << engine::kSeparatorLine << '\n';
        } else {
            m_out << entry.time << '\t' << entry.siteLabel << '\t' << entry.text << '\n';
        }
        m_out.flush();
    }
    if (m_hooks.onLogLine) m_hooks.onLogLine(entry);
}

void PrintingObserver::runEnded(const engine::RunTotals& totals) {
    if (m_hooks.onRunEnded) m_hooks.onRunEnded(totals);
}

void PrintingObserver::print(const std::string& line) {
    std::lock_guard lock(m_mutex);
    m_out << line << '\n';
    m_out.flush();
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
              PrintingObserver& printer, const HeadlessHooks& hooks, std::atomic<int>& interrupts) {
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
    bool poweredOff = false;
    {
        InterruptWatcher watcher(interrupts, [&](int) {
            if (countdown.stop()) printer.print(std::string(schedule::kShutdownStoppedMessage));
        });
        poweredOff = countdown.run([&](const std::string& label) { printer.print(label); });
    }
    return poweredOff;
}

}  // namespace oz::app
