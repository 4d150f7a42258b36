#pragma once

#include <filesystem>

namespace oz::ui {

// The desktop program: opens the settings file of the data folder, shows the main window and runs
// the event loop until the window has closed. Returns the process exit status.
int runWindowProgram(int argc, char** argv, const std::filesystem::path& dataDir);

// Loads Qt's translations for the system's language, falling back to Chinese (zh_CN). Call once
// the application object exists.
void installQtTranslations();

}  // namespace oz::ui
