#include <algorithm>
#include <optional>
#include <ostream>
#include <sstream>
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
    "The settings file and the schedule file are read again at each run, and the settings file is\n"
    "locked only while a run goes, so they can be edited in between.\n"
    "\n"
    "SIGINT, SIGTERM or SIGHUP (Ctrl+C) while a run goes stops that run properly (a second signal\n"
    "ends it at once) and the schedule goes on; during the power-off countdown it stops the\n"
    "countdown only. While the schedule is idle it ends the schedule.\n";

// A row's text on one line ("到点更新" and the row, where the window shows two lines).
std::string oneLine(std::string text) {
    std::replace(text.begin(), text.end(), '\r', ' ');
    std::erase(text, '\n');
    return text;
}

std::ptrdiff_t checkedCount(const std::vector<schedule::ScheduleRow>& rows) {
    return std::count_if(rows.begin(), rows.end(), [](const auto& row) { return row.checked; });
}

}  // namespace

std::string scheduleUsage() { return kScheduleUsage; }

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
    config::RunOptions options;
    {
        // Only checked here; each run opens the file again (and holds its lock while it runs).
        std::unique_ptr<config::SettingsFile> file = openSettings(context.dataDir, context.err);
        if (!file) return 1;
        options = config::loadRunOptions(*file);
    }
    const std::filesystem::path scheduleFile = schedule::scheduleFilePath(context.dataDir);
    std::vector<schedule::ScheduleRow> rows = schedule::loadSchedule(scheduleFile);
    const auto checked = checkedCount(rows);
    if (checked == 0) {
        context.err << "计划列表中没有勾选的时间点：" << scheduleFile.string() << "\n";
        return 1;
    }

    backend::OptionsRunSettings settings(options);
    schedule::Scheduler scheduler;
    scheduler.setRows(std::move(rows));
    scheduler.setCompleteListing(options.scheduleCompleteListing);
    scheduler.start();

    IgnoreBrokenPipe brokenPipe;
    StopRequests stopRequests(hooks);
    const text::Clock& clock = hooks.clock != nullptr ? *hooks.clock : text::systemClock();

    PrintingObserver printer(context.out, context.err, hooks);
    engine::PublishRunSetup setup;
    setup.dataDir = context.dataDir;
    setup.settings = &settings;
    setup.clock = &clock;
    setup.observer = &printer;
    engine::PublishRun run(setup);

    printer.print(std::string("计划任务已开始：") + std::to_string(checked) + " 个时间点（Ctrl+C 停止）");
    {
        // A stop request ends the run or the countdown that is going; only one while idle ends the
        // schedule.
        StopRouter stops(stopRequests.count(), printer);
        auto startRun = [&](const schedule::ScheduledStart& start) {
            printer.print(oneLine(start.statusText()));
            // The settings as they are now, locked while the run goes.
            std::ostringstream problem;
            std::unique_ptr<config::SettingsFile> file = openSettings(context.dataDir, problem);
            if (!file) {
                printer.print("本次计划更新未进行：" + oneLine(problem.str()));
                return;
            }
            config::SiteList list;
            config::loadSiteList(*file, list);
            const config::RunOptions now = config::loadRunOptions(*file);
            settings.update(now);
            scheduler.setCompleteListing(now.scheduleCompleteListing);
            const auto listing =
                now.scheduleCompleteListing ? content::ListingMethod::Complete : content::ListingMethod::Fast;
            stops.startRun(run, list, listing, /*scheduled=*/true);
            run.wait();
            stops.endRun();
            file.reset();
            const std::optional<engine::RunTotals> totals = run.lastTotals();
            if (!totals) return;
            if (endOfRun(*totals, settings.shutdownWhenDone(), allowPowerOff, /*scheduled=*/true, printer,
                         hooks, stops)) {
                stops.stopAll();  // the computer is going down
            }
        };
        // The schedule file is read again before every tick, so rows edited meanwhile count.
        auto reloadRows = [&] {
            std::vector<schedule::ScheduleRow> current = schedule::loadSchedule(scheduleFile);
            if (current == scheduler.rows()) return;
            printer.print("计划列表已重新读取：" + std::to_string(checkedCount(current)) + " 个时间点");
            scheduler.setRows(std::move(current));
        };
        schedule::runScheduleLoop(
            scheduler, clock, stops.idleStop(), startRun, [&run] { return run.isRunning(); }, reloadRows);
    }
    printer.print("计划任务已停止");
    return 0;
}

int scheduleCommand(const CommandContext& context) { return scheduleCommandWith(context, HeadlessHooks{}); }

}  // namespace oz::app
