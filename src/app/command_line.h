#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "app/exit_status.h"

namespace oz::app {

// What every subcommand receives: its own arguments (after the subcommand's name, with
// --data-dir already taken out) and the resolved data folder.
struct CommandContext {
    std::vector<std::string> args;
    std::filesystem::path dataDir;
    std::ostream& out;
    std::ostream& err;
};

// True when the arguments name no command (at most --data-dir): the program then opens its window
// where a display is available. `dataDir` receives the --data-dir value, if any.
bool namesNoCommand(const std::vector<std::string>& arguments, std::optional<std::string>& dataDir);
// True when DISPLAY, WAYLAND_DISPLAY or QT_QPA_PLATFORM is set and not empty.
bool displayAvailable();

// The data folder the process is to use (--data-dir's value, the environment, the defaults), made
// ready; std::nullopt when there is none to be had, said on `err` as is a notice about it.
std::optional<std::filesystem::path> openDataFolderOrSay(const std::optional<std::string>& dataDir,
                                                         std::ostream& err);

// The whole command line of orvane-zentrel; returns the process exit status.
int runCommandLine(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err);

// Subcommands, one file each.
int sitesCommand(const CommandContext& context);
int previewCommand(const CommandContext& context);
int categoriesCommand(const CommandContext& context);
int runCommand(const CommandContext& context);
int scheduleCommand(const CommandContext& context);
int generateCommand(const CommandContext& context);
int pinyinCommand(const CommandContext& context);
int batchCommand(const CommandContext& context);
// What "sites --help", "run --help", "schedule --help" and "batch --help" print.
std::string sitesUsage();
std::string runUsage();
std::string scheduleUsage();
std::string batchUsage();

}  // namespace oz::app
