#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/open_file_limit.h"
#include "ui/main_program.h"

int main(int argc, char** argv) {
    oz::app::raiseOpenFileLimit();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::optional<std::string> dataDir;
    if (oz::app::namesNoCommand(arguments, dataDir) && oz::app::displayAvailable()) {
        const std::optional<std::filesystem::path> folder = oz::app::openDataFolderOrSay(dataDir, std::cerr);
        if (!folder) return oz::app::kUsageError;
        return oz::ui::runWindowProgram(argc, argv, *folder);
    }
    return oz::app::runCommandLine(arguments, std::cout, std::cerr);
}
