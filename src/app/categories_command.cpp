#include <ostream>

#include "app/command_line.h"

namespace oz::app {

int categoriesCommand(const CommandContext& context) {
    context.err << "categories: not built yet\n";
    return 2;
}

}  // namespace oz::app
