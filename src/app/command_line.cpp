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

namespace oz::app {

namespace {

std::string mainUsage() {
    return "Orvane·Zentrel " OZ_VERSION
           " — 通过 DedeCMS 后台把本地文章文件发布到多个网站。\n"
           "\n"
           "Usage: orvane-zentrel [--data-dir DIR] COMMAND [ARGS]\n"
           "\n"
           "Commands:\n"
           "  sites                        列出设置文件中的站点\n"
           "  sites import FILE            从“域名|用户|密码|编码|目录|...”行（16 个字段）添加站点\n"
           "  sites set N 设置项 值        修改第 N 个站点的一个设置项（如 代理服务器）\n"
           "  sites enable|disable N       勾选或取消勾选第 N 个站点\n"
           "  preview --site N FILE...     列出第 N 个站点为每个文章文件将要提交的表单字段\n"
           "  categories --site N          登录第 N 个站点并列出它的栏目树\n"
           "  run [--fast-listing] [--allow-poweroff]\n"
           "                               向勾选的站点发布一次，与窗口的开始按钮相同\n"
           "  schedule [--allow-poweroff]  按计划文件的时间点开始更新\n"
           "  generate chinese|digits ...  打印随机的汉字组，或数字和字母组\n"
           "  pinyin [--mode 1|2|3|4] ...  标准输入文本的拼音\n"
           "  batch OPERATION [--scope checked|all|N] [--refresh] ...\n"
           "                               批量处理多个站点的栏目、文章和主页（见 batch --help）\n"
           "\n"
           "Options:\n"
           "  --data-dir DIR   数据目录（设置文件、日志、记录）。默认为 $ORVANE_DATA_DIR；\n"
           "                   否则为程序所在的文件夹（属于你且可写时）；\n"
           "                   否则为 $XDG_DATA_HOME/Orvane·Zentrel\n"
           "  -h, --help       本说明；每个命令的 --help 给出它自己的说明\n"
           "  --version        程序的版本和许可证\n"
           "\n"
           "Exit status:\n" +
           exitStatusHelp() + "（run 用全部五种，batch 用 0 至 3；其他命令出错时为 1。）\n";
}

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

std::string previewUsage() {
    return "用法：orvane-zentrel [--data-dir DIR] preview --site N FILE...\n"
           "\n"
           "按第 N 个站点（sites 列出的序号）的设置组成每个文章文件，列出将要提交的表单字段，\n"
           "以及正文中的本地图片（picture: 地址 = 文件）和它是否将随文章上传；不连接站点。\n";
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

std::optional<std::filesystem::path> openDataFolderOrSay(const std::optional<std::string>& dataDir,
                                                         std::ostream& err) {
    const config::DataFolder folder = config::openDataFolder(config::dataFolderChoiceFromProcess(dataDir));
    if (!folder.problem.empty()) {
        err << folder.problem << "\n";
        return std::nullopt;
    }
    if (!folder.notice.empty()) err << folder.notice << "\n";
    return folder.dir;
}

int runCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
    std::optional<std::string> dataDir;
    std::vector<std::string> rest;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& arg = arguments[i];
        if (arg == "--data-dir") {
            if (i + 1 >= arguments.size()) {
                err << "--data-dir 需要一个目录参数\n";
                return kUsageError;
            }
            dataDir = arguments[++i];
        } else if (arg.rfind("--data-dir=", 0) == 0) {
            dataDir = arg.substr(11);
        } else {
            rest.push_back(arg);
        }
    }
    if (rest.empty() || rest[0] == "--help" || rest[0] == "-h" || rest[0] == "help") {
        out << mainUsage();
        return kAllDone;
    }
    if (rest[0] == "--version") {
        out << kVersion;
        return kAllDone;
    }

    for (const auto& sub : subcommands()) {
        if (rest[0] != sub.name) continue;
        std::vector<std::string> args(rest.begin() + 1, rest.end());
        if (asksForHelp(args)) {
            out << sub.usage();
            return kAllDone;
        }
        const std::optional<std::filesystem::path> folder = openDataFolderOrSay(dataDir, err);
        if (!folder) return kUsageError;
        CommandContext context{std::move(args), *folder, out, err};
        return sub.run(context);
    }
    err << "未知命令：" << rest[0] << "\n\n" << mainUsage();
    return kUsageError;
}

}  // namespace oz::app
