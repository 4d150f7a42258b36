#include <algorithm>
#include <optional>
#include <ostream>
#include <string>

#include "app/command_line.h"
#include "app/headless_run.h"
#include "backend/run_settings.h"
#include "config/site_list_store.h"
#include "engine/publish_run.h"
#include "schedule/schedule_file.h"
#include "schedule/scheduler.h"

namespace oz::app {

namespace {

constexpr const char* kScheduleUsage =
    "Usage: orvane-zentrel schedule [--data-dir DIR] [--allow-poweroff]\n"
    "\n"
    "Runs the scheduler without a window: every second it compares the clock with the checked time\n"
    "points of the schedule file (时间点.计划任务) and, when one is reached and no run is going,\n"
    "publishes to the checked sites with the listing method stored for scheduled runs.\n"
    "\n"
    "  --allow-poweroff  when 更新完成关机 is checked, count 30 seconds down after a run and power\n"
    "                    the computer off; without this option it never powers off\n"
    "\n"
    "SIGINT/SIGTERM (Ctrl+C) stops the schedule; a run that is going stops properly (a second\n"
    "signal ends it at once).\n";

// A row's text on one line ("到点更新" and the row, where the window shows two lines).
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::erase(text, '\n');
    return text;
}

}  // namespace

int scheduleCommandWith(const CommandContext& context, const HeadlessHooks& hooks) {
    bool allowPowerOff = false;
    for (const std::string& arg : context.args) {
        if (arg == "--allow-poweroff") {
            allowPowerOff = true;
        } else if (arg == "--help" || arg == "-h") {
            context.out << kScheduleUsage;
            return 0;
        } else {
            context.err << "未知参数：" << arg << "\n\n" << kScheduleUsage;
            return 2;
        }
    }
    std::unique_ptr<config::SettingsFile> file = openSettings(context.dataDir, context.err);
    if (!file) return 1;
    const std::filesystem::path scheduleFile = schedule::scheduleFilePath(context.dataDir);
    std::vector<schedule::ScheduleRow> rows = schedule::loadSchedule(scheduleFile);
    const auto checked = std::count_if(rows.begin(), rows.end(), [](const auto& row) { return row.checked; });
    if (checked == 0) {
        context.err << "计划列表中没有勾选的时间点：" << scheduleFile.string() << "\n";
        return 1;
    }

    config::RunOptions options = config::loadRunOptions(*file);
    backend::OptionsRunSettings settings(options);
    schedule::Scheduler scheduler;
    scheduler.setRows(std::move(rows));
    scheduler.setCompleteListing(options.scheduleCompleteListing);
    scheduler.start();

    StopRequests stopRequests(hooks);
    std::atomic<int>& interrupts = stopRequests.count();
    const text::Clock& clock = hooks.clock != nullptr ? *hooks.clock : text::systemClock();

    PrintingObserver printer(context.out, hooks);
    engine::PublishRunSetup setup;
    setup.dataDir = context.dataDir;
    setup.settings = &settings;
    setup.clock = &clock;
    setup.observer = &printer;
    engine::PublishRun run(setup);

    std::atomic<bool> stop{false};
    printer.print(std::string("计划任务已开始：") + std::to_string(checked) + " 个时间点（Ctrl+C 停止）");
    {
        // Any stop request also ends the schedule.
        InterruptWatcher watcher(interrupts, [&](int requests) {
            stop = true;
            stopForRequest(run, requests);
        });
        auto startRun = [&](const schedule::ScheduledStart& start) {
            if (stop.load()) return;
            printer.print(oneLine(start.statusText()));
            // The settings as they are now: the sites and options of the file.
            config::SiteList list;
            config::loadSiteList(*file, list);
            settings.update(config::loadRunOptions(*file));
            const auto listing =
                start.completeListing ? content::ListingMethod::Complete : content::ListingMethod::Fast;
            run.startRun(list, listing, /*scheduled=*/true);
            if (stop.load()) run.requestStop();  // a request that came while the run was starting
            run.wait();
            const std::optional<engine::RunTotals> totals = run.lastTotals();
            if (stop.load() || !totals) return;
            if (endOfRun(*totals, settings.shutdownWhenDone(), allowPowerOff, /*scheduled=*/true, printer,
                         hooks, interrupts)) {
                stop = true;  // the computer is going down
            }
        };
        schedule::runScheduleLoop(scheduler, clock, stop, startRun, [&run] { return run.isRunning(); });
    }
    printer.print("计划任务已停止");
    return 0;
}

int scheduleCommand(const CommandContext& context) { return scheduleCommandWith(context, HeadlessHooks{}); }

}  // namespace oz::app
