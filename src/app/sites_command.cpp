#include <ostream>

#include "app/command_line.h"

namespace oz::app {

int sitesCommand(const CommandContext& context) {
    context.err << "sites: not built yet\n";
    return 2;
}

}  // namespace oz::app
