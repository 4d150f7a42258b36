#include <ostream>

#include "app/command_line.h"

namespace oz::app {

int scheduleCommand(const CommandContext& context) {
    context.err << "schedule: not built yet\n";
    return 2;
}

}  // namespace oz::app
