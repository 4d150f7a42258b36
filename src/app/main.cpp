#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/open_file_limit.h"

int main(int argc, char** argv) {
    oz::app::raiseOpenFileLimit();
    std::vector<std::string> arguments(argv + 1, argv + argc);
    return oz::app::runCommandLine(arguments, std::cout, std::cerr);
}
