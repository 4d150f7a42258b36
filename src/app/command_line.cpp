#include "app/command_line.h"

#include <cstdlib>
#include <functional>
#include <optional>
#include <ostream>

#include "config/data_folder.h"

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
    "\n"
    "Options:\n"
    "  --data-dir DIR   the data folder (settings file, logs, records); default: $ORVANE_DATA_DIR,\n"
    "                   else the program's folder when writable, else $XDG_DATA_HOME/Orvane·Zentrel\n"
    "  --help           this text\n"
    "  --version        the program's version\n";

struct Subcommand {
    const char* name;
    std::function<int(const CommandContext&)> run;
};

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
        out << "orvane-zentrel " OZ_VERSION "\n";
        return 0;
    }

    static const Subcommand kSubcommands[] = {
        {"sites", sitesCommand}, {"preview", previewCommand},   {"categories", categoriesCommand},
        {"run", runCommand},     {"schedule", scheduleCommand},
    };
    for (const auto& sub : kSubcommands) {
        if (rest[0] != sub.name) continue;
        std::filesystem::path dir = config::chooseDataFolder(config::dataFolderChoiceFromProcess(dataDir));
        if (std::string problem = config::prepareDataFolder(dir); !problem.empty()) {
            err << problem << "\n";
            return 2;
        }
        CommandContext context{std::vector<std::string>(rest.begin() + 1, rest.end()), dir, out, err};
        return sub.run(context);
    }
    err << "未知命令：" << rest[0] << "\n\n" << kUsage;
    return 2;
}

}  // namespace oz::app
