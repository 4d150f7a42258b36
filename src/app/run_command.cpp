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
    "SIGINT/SIGTERM (Ctrl+C) stops the run properly: pages are still regenerated and the summary\n"
    "is written. A second signal ends it at once. During the countdown a signal stops the\n"
    "power-off.\n";

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

    StopRequests stopRequests(hooks);
    std::atomic<int>& interrupts = stopRequests.count();

    PrintingObserver printer(context.out, hooks);
    engine::PublishRunSetup setup;
    setup.dataDir = context.dataDir;
    setup.settings = &settings;
    setup.clock = hooks.clock;
    setup.observer = &printer;
    engine::PublishRun run(setup);
    {
        InterruptWatcher watcher(interrupts, [&run](int requests) { stopForRequest(run, requests); });
        run.startRun(list, args->listing, /*scheduled=*/false);
        run.wait();
    }
    const std::optional<engine::RunTotals> totals = run.lastTotals();
    if (!totals) return 1;
    endOfRun(*totals, settings.shutdownWhenDone(), args->allowPowerOff, /*scheduled=*/false, printer, hooks,
             interrupts);
    return 0;
}

int runCommand(const CommandContext& context) { return runCommandWith(context, HeadlessHooks{}); }

}  // namespace oz::app
