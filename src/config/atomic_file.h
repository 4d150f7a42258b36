#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace oz::config {

// Whole-file reads and crash-safe whole-file writes. Files and folders made here are readable by
// their owner only (the settings hold passwords).

// The file's bytes; std::nullopt with `error` set when it cannot be read (`missing` tells a file
// that does not exist from one that cannot be read).
std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::string& error,
                                         bool* missing = nullptr);

struct FileReplacement {
    std::filesystem::path path;
    std::optional<std::string> bytes;  // std::nullopt: remove the file
};

// Replaces each file through a temporary file in the same folder, flushed to disk and renamed over
// the old one, then flushes the folders: a crash leaves every file either old or new, never half
// written. Files whose content is already the same are not touched. Missing folders are created.
// Every new file is 0600, whatever the old one's mode; a symbolic link in a file's place is
// replaced, never followed.
bool replaceFiles(const std::vector<FileReplacement>& files, std::string& error);

inline bool replaceFile(const std::filesystem::path& path, std::string_view bytes, std::string& error) {
    return replaceFiles({{path, std::string(bytes)}}, error);
}

}  // namespace oz::config
