#include <ostream>

#include "app/command_line.h"

namespace oz::app {

int runCommand(const CommandContext& context) {
    context.err << "run: not built yet\n";
    return 2;
}

}  // namespace oz::app
