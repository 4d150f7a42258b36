#pragma once

#include <filesystem>

namespace oz::schedule {
class PowerControl;
}
namespace oz::text {
class Clock;
}

namespace oz::ui {

class Desktop;
class Dialogs;

// Everything a window needs from outside the program. The program passes the real ones; tests pass
// scripted dialogs, a recording desktop, a fake power control and a fake clock. Each pointer must
// outlive the windows.
struct UiServices {
    std::filesystem::path dataDir;
    Dialogs* dialogs = nullptr;
    Desktop* desktop = nullptr;
    schedule::PowerControl* power = nullptr;
    const text::Clock* clock = nullptr;
};

}  // namespace oz::ui
