#include <ostream>

#include "app/command_line.h"

namespace oz::app {

int previewCommand(const CommandContext& context) {
    context.err << "preview: not built yet\n";
    return 2;
}

}  // namespace oz::app
