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
    "用法：orvane-zentrel [--data-dir DIR] run [--fast-listing] [--allow-poweroff]\n"
    "\n"
    "按设置文件中保存的更新选项，向勾选的站点发布一次（与窗口的开始按钮相同），日志每写一行\n"
    "就打印一行，最后是汇总。\n"
    "\n"
    "  --fast-listing    用快速方式列出文章目录（开始按钮的右键）\n"
    "  --allow-poweroff  勾选了“更新完成关机”时，更新结束后倒数 30 秒并关机；\n"
    "                    没有这个选项时从不关机\n"
    "\n"
    "SIGINT、SIGTERM 或 SIGHUP（Ctrl+C）正常停止更新：不再开始新的文章，进行中的请求最多再等\n"
    "10 秒，页面照常刷新，并写出汇总。第二个信号立即结束所有请求（这样被切断的文章记为\n"
    "结果未知）。倒数关机时，信号只停止关机。标准输出被关闭（run | head）不会结束更新。\n"
    "更新中无法写入的文件（例如磁盘已满）在标准错误上列出。\n"
    "\n"
    "退出状态：\n";

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
            context.err << "未知参数：" << arg << "\n\n" << runUsage();
            return std::nullopt;
        }
    }
    return parsed;
}

}  // namespace

std::string runUsage() {
    return kRunUsage + exitStatusHelp() +
           "（一个站点完成，是指它发布了该发布的全部文章；文章目录中没有文章的站点也算完成。）\n";
}

int runCommandWith(const CommandContext& context, const HeadlessHooks& hooks) {
    std::optional<RunArguments> args = parseArguments(context);
    if (!args) return kUsageError;
    if (args->help) {
        context.out << runUsage();
        return kAllDone;
    }
    std::unique_ptr<config::SettingsFile> file = openSettings(context.dataDir, context.err);
    if (!file) return kNothingDone;
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
    if (!totals) return kNothingDone;
    endOfRun(*totals, settings.shutdownWhenDone(), args->allowPowerOff, /*scheduled=*/false, printer, hooks,
             stops);
    return runExitStatus(*totals);
}

int runCommand(const CommandContext& context) { return runCommandWith(context, HeadlessHooks{}); }

}  // namespace oz::app
