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
    "用法：orvane-zentrel [--data-dir DIR] schedule [--allow-poweroff]\n"
    "\n"
    "不开窗口运行计划任务：每秒把时钟与计划文件（时间点.计划任务）中勾选的时间点比较；到点且\n"
    "没有正在进行的更新时，用为计划任务保存的列表方式向勾选的站点发布。\n"
    "\n"
    "  --allow-poweroff  勾选了“更新完成关机”时，每次更新结束后倒数 30 秒并关机；\n"
    "                    没有这个选项时从不关机\n"
    "\n"
    "每次更新前都重新读取设置文件和计划文件；设置文件只在更新进行时锁定，其间可以修改。\n"
    "\n"
    "更新进行中，SIGINT、SIGTERM 或 SIGHUP（Ctrl+C）正常停止这次更新（第二个信号立即结束），\n"
    "计划继续；倒数关机时只停止关机；空闲时结束计划任务。\n"
    "\n"
    "退出状态：0 计划任务被信号结束；2 用法错误；3 无法开始（没有设置文件，或计划文件中没有\n"
    "勾选的时间点）。\n";

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
            return kAllDone;
        } else {
            context.err << "未知参数：" << arg << "\n\n" << kScheduleUsage;
            return kUsageError;
        }
    }
    config::RunOptions options;
    {
        // Only checked here; each run opens the file again (and holds its lock while it runs).
        std::unique_ptr<config::SettingsFile> file = openSettings(context.dataDir, context.err);
        if (!file) return kNothingDone;
        options = config::loadRunOptions(*file);
    }
    const std::filesystem::path scheduleFile = schedule::scheduleFilePath(context.dataDir);
    std::vector<schedule::ScheduleRow> rows = schedule::loadSchedule(scheduleFile);
    const auto checked = checkedCount(rows);
    if (checked == 0) {
        context.err << "计划列表中没有勾选的时间点：" << scheduleFile.string() << "\n";
        return kNothingDone;
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
    return kAllDone;
}

int scheduleCommand(const CommandContext& context) { return scheduleCommandWith(context, HeadlessHooks{}); }

}  // namespace oz::app
