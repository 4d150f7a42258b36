#include "app/command_line.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/generator_commands.h"
#include "config/data_folder.h"
#include "config/site_line.h"

namespace oz::app {

namespace {

constexpr const char* kUsage =
    "Orvane·Zentrel " OZ_VERSION
    " — publishes local article files to DedeCMS sites through their admin back ends.\n"
    "\n"
    "Usage: orvane-zentrel [--data-dir DIR] COMMAND [ARGS]\n"
    "\n"
    "Commands:\n"
    "  sites                        list the sites of the settings file\n"
    "  sites import FILE            add sites from lines of 域名|用户|密码|编码|目录|... (15 fields)\n"
    "  preview --site N FILE...     show the form fields site N would publish for each article file\n"
    "  categories --site N          log in to site N and print its category tree\n"
    "  run [--fast-listing] [--allow-poweroff]\n"
    "                               publish to the checked sites once, as the window's start button does\n"
    "  schedule [--allow-poweroff]  start runs at the time points of the schedule file\n"
    "  generate chinese|digits ...  print random groups of Chinese characters, or of digits and letters\n"
    "  pinyin [--mode 1|2|3|4] ...  the pinyin of the text on standard input\n"
    "  batch OPERATION [--scope checked|all|N] [--refresh] ...\n"
    "                               create-categories, delete-categories, delete-articles,\n"
    "                               rewrite-homepage, read-categories on many sites (batch --help)\n"
    "\n"
    "Options:\n"
    "  --data-dir DIR   the data folder (settings file, logs, records); default: $ORVANE_DATA_DIR,\n"
    "                   else the program's folder when writable, else $XDG_DATA_HOME/Orvane·Zentrel\n"
    "  --help           this text\n"
    "  --version        the program's version\n";

constexpr const char* kVersion =
    "orvane-zentrel " OZ_VERSION
    "\n"
    "Copyright (C) 2026 the Orvane·Zentrel developers\n"
    "License GPLv3+: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\n"
    "This is free software: you are free to change and redistribute it.\n"
    "There is NO WARRANTY, to the extent permitted by law.\n";

// What "COMMAND --help" (or -h anywhere among its arguments) prints, before anything else is done.
// A function, so a usage may be put together from texts held elsewhere.
using UsageText = std::string (*)();

std::string sitesUsage() {
    std::string help = config::kSiteLineHelp;
    for (std::size_t at; (at = help.find("\r\n")) != std::string::npos;) help.replace(at, 2, "\n");
    return "用法：orvane-zentrel [--data-dir DIR] sites\n"
           "      orvane-zentrel [--data-dir DIR] sites import FILE [--read-categories [--check-all]]\n"
           "                                                        [--delay S]\n"
           "\n"
           "sites 列出设置文件中的站点：序号、[x] 启用或 [ ] 不启用、域名(用户)。\n"
           "sites import 把 FILE 中的站点加入站点列表并保存设置文件（FILE 为 UTF-8 或 GBK 文本）。\n"
           "  --read-categories  登录每个导入的站点并读取其栏目列表（--check-all 勾选全部栏目）\n"
           "  --delay S          每导入一个站点后等待 S 秒（有 --read-categories 时默认 2，否则 0）\n"
           "\n" +
           help + "\n（命令行导入时，留空的参数取新站点的默认值。）\n";
}

std::string previewUsage() {
    return "用法：orvane-zentrel [--data-dir DIR] preview --site N FILE...\n"
           "\n"
           "按第 N 个站点（sites 列出的序号）的设置组成每个文章文件，列出将要提交的表单字段；\n"
           "不连接站点。\n";
}

std::string categoriesUsage() {
    return "用法：orvane-zentrel [--data-dir DIR] categories --site N\n"
           "\n"
           "登录第 N 个站点的后台，读取并列出它的栏目树：每行一个栏目“名称[ID]”，每深一级缩进两格，\n"
           "站点栏目ID中已选的栏目后标有 [x]。\n";
}

struct Subcommand {
    const char* name;
    std::function<int(const CommandContext&)> run;
    UsageText usage;
};

// One entry per command.
const std::vector<Subcommand>& subcommands() {
    static const std::vector<Subcommand> kSubcommands = {
        {"sites", sitesCommand, sitesUsage},
        {"preview", previewCommand, previewUsage},
        {"categories", categoriesCommand, categoriesUsage},
        {"run", runCommand, runUsage},
        {"schedule", scheduleCommand, scheduleUsage},
        {"generate", generateCommand, generateUsage},
        {"pinyin", pinyinCommand, pinyinUsage},
        {"batch", batchCommand, batchUsage},
    };
    return kSubcommands;
}

bool asksForHelp(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(),
                       [](const std::string& arg) { return arg == "--help" || arg == "-h"; });
}

}  // namespace

bool namesNoCommand(const std::vector<std::string>& arguments, std::optional<std::string>& dataDir) {
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--data-dir" && i + 1 < arguments.size()) {
            dataDir = arguments[++i];
        } else if (arguments[i].rfind("--data-dir=", 0) == 0) {
            dataDir = arguments[i].substr(11);
        } else {
            return false;
        }
    }
    return true;
}

bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') return true;
    }
    return false;
}

int runCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    std::optional<std::string> dataDir;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--data-dir") {
            if (i + 1 >= arguments.size()) {
                err << "--data-dir 需要一个目录参数\n";
                return 2;
            }
            dataDir = arguments[++i];
        } else if (arg.rfind("--data-dir=", 0) == 0) {
            dataDir = arg.substr(11);
        } else {
            rest.push_back(arg);
        }
    }
    if (rest.empty() || rest[0] == "--help" || rest[0] == "-h" || rest[0] == "help") {
        out << kUsage;
        return 0;
    }
    if (rest[0] == "--version") {
        out << kVersion;
        return 0;
    }

    for (const auto& sub : subcommands()) {
        if (rest[0] != sub.name) continue;
        std::vector<std::string> args(rest.begin() + 1, rest.end());
        if (asksForHelp(args)) {
            out << sub.usage();
            return 0;
        }
        const config::DataFolder folder =
            config::openDataFolder(config::dataFolderChoiceFromProcess(dataDir));
        if (!folder.problem.empty()) {
            err << folder.problem << "\n";
            return kUsageError;
        }
        if (!folder.notice.empty()) err << folder.notice << "\n";
        CommandContext context{std::move(args), folder.dir, out, err};
        return sub.run(context);
    }
    err << "未知命令：" << rest[0] << "\n\n" << kUsage;
    return 2;
}

}  // namespace oz::app
