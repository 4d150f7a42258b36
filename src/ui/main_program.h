#pragma once

#include <filesystem>
#include <string>

namespace oz::config {
class SettingsFile;
}

namespace oz::ui {

// The desktop program: opens the settings file of the data folder, shows the main window and runs
// the event loop until the window has closed. Returns the process exit status.
int runWindowProgram(int argc, char** argv, const std::filesystem::path& dataDir);

// Opens the settings file of the data folder for the window. When the folder cannot be written (no
// lock can be made beside the file, whose save writes a new copy there too), the file is opened
// read-only instead: the window opens as usual and says at once that nothing can be saved
// ("数据文件夹不可写…"). False, with the reason in `problem`, when the file cannot be read at all.
bool openSettingsForWindow(config::SettingsFile& settings, const std::filesystem::path& dataDir,
                           std::string& problem);

// Loads Qt's translations for the system's language, falling back to Chinese (zh_CN). Call once
// the application object exists.
void installQtTranslations();

}  // namespace oz::ui
