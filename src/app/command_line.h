#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace oz::app {

// What every subcommand receives: its own arguments (after the subcommand's name, with
// --data-dir already taken out) and the resolved data folder.
struct CommandContext {
    std::vector<std::string> args;
    std::filesystem::path dataDir;
    std::ostream& out;
    std::ostream& err;
};

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
// What "batch --help" prints.
std::string batchUsage();

}  // namespace oz::app
