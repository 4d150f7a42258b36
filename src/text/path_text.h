#pragma once

#include <filesystem>
#include <string>
#include <string_view>

// Paths and UTF-8 text: names inside the program are UTF-8, whatever the system's narrow encoding.
namespace oz::text {

// The path named by UTF-8 text.
std::filesystem::path utf8Path(std::string_view utf8);

// The path as UTF-8 text, for messages.
std::string pathText(const std::filesystem::path& path);

}  // namespace oz::text
