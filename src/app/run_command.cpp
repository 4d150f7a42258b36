#include <optional>
#include <ostream>
#include <string>

#include "app/command_line.h"
#include "app/headless_run.h"
#include "backend/run_settings.h"
#include "config/site_list_store.h"
#include "engine/publish_run.h"

namespace oz::app {

namespace {

constexpr const char* kRunUsage =
    "Usage: orvane-zentrel run [--data-dir DIR] [--fast-listing] [--allow-poweroff]\n"
    "\n"
    "Publishes once to the checked sites of the settings file with the stored run options, as the\n"
    "window's start button does, and prints every log line as it is written.\n"
    "\n"
    "  --fast-listing    list article folders the fast way (the start button's right click)\n"
    "  --allow-poweroff  when 更新完成关机 is checked, count 30 seconds down after the run and\n"
    "                    power the computer off; without this option the run never powers off\n"
    "\n"
    "SIGINT, SIGTERM or SIGHUP (Ctrl+C) stops the run properly: no new article starts, requests\n"
    "under way get up to 10 seconds, pages are still regenerated and the summary is written. A\n"
    "second signal ends every request at once (an article cut off that way is logged as\n"
    "结果未知). During the countdown a signal stops the power-off. A closed standard output\n"
    "(run | head) does not end the run.\n"
    "\n"
    "A file of the run that cannot be written (a full disk) is named on standard error, and the\n"
    "run ends with status 1.\n";

struct RunArguments {
    content::ListingMethod listing = content::ListingMethod::Complete;
    bool allowPowerOff = false;
    bool help = false;
};

std::optional<RunArguments> parseArguments(const CommandContext& context) {
    RunArguments parsed;
    for (const std::string& arg : context.args) {
        if (arg == "--fast-listing") {
            parsed.listing = content::ListingMethod::Fast;
        } else if (arg == "--allow-poweroff") {
            parsed.allowPowerOff = true;
        } else if (arg == "--help" || arg == "-h") {
            parsed.help = true;
        } else {
            context.err << "未知参数：" << arg << "\n\n" << kRunUsage;
            return std::nullopt;
        }
    }
    return parsed;
}

}  // namespace

std::string runUsage() { return kRunUsage; }

int runCommandWith(const CommandContext& context, const HeadlessHooks& hooks) {
    std::optional<RunArguments> args = parseArguments(context);
    if (!args) return 2;
    if (args->help) {
        context.out << kRunUsage;
        return 0;
    }
    std::unique_ptr<config::SettingsFile> file = openSettings(context.dataDir, context.err);
    if (!file) return 1;
    config::SiteList list;
    config::loadSiteList(*file, list);
    // The options the window does not store (HTML所有栏目) start off, as in a new window.
    backend::OptionsRunSettings settings(config::loadRunOptions(*file));

    IgnoreBrokenPipe brokenPipe;
    StopRequests stopRequests(hooks);

    PrintingObserver printer(context.out, context.err, hooks);
    engine::PublishRunSetup setup;
    setup.dataDir = context.dataDir;
    setup.settings = &settings;
    setup.clock = hooks.clock;
    setup.observer = &printer;
    engine::PublishRun run(setup);
    StopRouter stops(stopRequests.count(), printer);
    stops.startRun(run, list, args->listing, /*scheduled=*/false);
    run.wait();
    stops.endRun();
    const std::optional<engine::RunTotals> totals = run.lastTotals();
    if (!totals) return 1;
    endOfRun(*totals, settings.shutdownWhenDone(), args->allowPowerOff, /*scheduled=*/false, printer, hooks,
             stops);
    // The articles went out, but what the run should have kept of them did not all reach the disk.
    return totals->unwrittenFiles.empty() ? 0 : 1;
}

int runCommand(const CommandContext& context) { return runCommandWith(context, HeadlessHooks{}); }

}  // namespace oz::app
