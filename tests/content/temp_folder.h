#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace oz::content {

// A fresh folder under the system's temporary folder, removed with everything in it at the end.
class TempFolder {
   public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "oz-content-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }

    // Writes `bytes` to the file `name` (a path relative to the folder) and returns its full path.
    std::string write(const std::string& name, std::string_view bytes = "x") const {
        std::filesystem::path file = m_path / name;
        std::filesystem::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return file.string();
    }

   private:
    std::filesystem::path m_path;
};

}  // namespace oz::content
