#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "text/charset.h"

namespace oz::config::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
   public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "oz-config-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(const std::string& name) const { return m_path / name; }

   private:
    std::filesystem::path m_path;
};

inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void writeBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Test texts are written in UTF-8; the settings file holds GBK.
inline std::string gbk(const std::string& utf8) { return text::utf8ToGbk(utf8); }

}  // namespace oz::config::testing
