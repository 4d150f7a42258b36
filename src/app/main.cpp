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
        const std::filesystem::path dir =
            oz::config::chooseDataFolder(oz::config::dataFolderChoiceFromProcess(dataDir));
        if (std::string problem = oz::config::prepareDataFolder(dir); !problem.empty()) {
            std::cerr << problem << "\n";
            return 2;
        }
        return oz::ui::runWindowProgram(argc, argv, dir);
    }
    return oz::app::runCommandLine(arguments, std::cout, std::cerr);
}
