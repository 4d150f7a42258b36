#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/open_file_limit.h"
#include "config/data_folder.h"
#include "ui/main_program.h"

int main(int argc, char** argv) {
    oz::app::raiseOpenFileLimit();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    std::optional<std::string> dataDir;
    if (oz::app::namesNoCommand(arguments, dataDir) && oz::app::displayAvailable()) {
        const oz::config::DataFolder folder =
            oz::config::openDataFolder(oz::config::dataFolderChoiceFromProcess(dataDir));
        if (!folder.problem.empty()) {
            std::cerr << folder.problem << "\n";
            return oz::app::kUsageError;
        }
        if (!folder.notice.empty()) std::cerr << folder.notice << "\n";
        return oz::ui::runWindowProgram(argc, argv, folder.dir);
    }
    return oz::app::runCommandLine(arguments, std::cout, std::cerr);
}
