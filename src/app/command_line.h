#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace oz::app {

// The exit statuses, as --help, the manual page and the README state them. `run` and `batch` use
// all four; the other commands end with 0, 1 for a failure, or 2.
inline constexpr int kAllDone = 0;      // everything was done
inline constexpr int kSomeFailed = 1;   // some sites or items failed, were left unknown or stopped
inline constexpr int kUsageError = 2;   // bad command or arguments, or no data folder to be had
inline constexpr int kNothingDone = 3;  // every site failed, or the command could not start

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
// What "run --help", "schedule --help" and "batch --help" print.
std::string runUsage();
std::string scheduleUsage();
std::string batchUsage();

}  // namespace oz::app
