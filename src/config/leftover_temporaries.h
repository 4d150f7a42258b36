#pragma once

#include <filesystem>

namespace oz::config {

// A save writes each file as "<name>.tmp<process id>" beside it and renames it over the old one
// (replaceFiles). A save that was killed in between leaves those temporary files behind: the
// settings file's, and one per byte value in the "inibin" folder, each a copy of stored data (the
// settings file's holds the passwords).
//
// Removes such leftovers of the settings file at `settingsPath`: files named exactly
// "<settings file name>.tmp<digits>" in its folder, and "<name>.ibn.tmp<digits>" in its "inibin"
// folder. A temporary is removed when the process that wrote it no longer runs, or, for the
// settings file's own, when `lockHeld` says that this process holds the file's lock (so no one else
// can be saving it). Nothing else is touched: no folder, no link, no file of another name.
// Returns the number of files removed; failures to remove are ignored.
int removeLeftoverTemporaries(const std::filesystem::path& settingsPath, bool lockHeld);

}  // namespace oz::config
