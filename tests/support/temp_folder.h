#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <system_error>

namespace oz::test {

// The whole file as bytes; empty when it cannot be read.
inline std::string readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Replaces the file with `bytes`; the folder must exist. False when the file could not be written.
inline bool writeBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
   public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "oz-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            ADD_FAILURE() << "mkdtemp failed";
            return;
        }
        m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ignored);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string str() const { return m_path.string(); }
    std::filesystem::path operator/(const std::filesystem::path& name) const { return m_path / name; }

    // Writes `bytes` to `name` (relative to the folder), creating the folders on the way; returns
    // the file's full path.
    std::filesystem::path write(const std::filesystem::path& name, std::string_view bytes = "x") const {
        const std::filesystem::path file = m_path / name;
        std::error_code ec;
        std::filesystem::create_directories(file.parent_path(), ec);
        EXPECT_TRUE(writeBytes(file, bytes)) << "cannot write " << file;
        return file;
    }

   private:
    std::filesystem::path m_path;
};

// The permission bits of a file or folder (not followed when it is a link).
inline unsigned modeOf(const std::filesystem::path& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return st.st_mode & 07777;
}

// Sets the process's umask while it exists.
class ScopedUmask {
   public:
    explicit ScopedUmask(mode_t mask) : m_old(::umask(mask)) {}
    ~ScopedUmask() { ::umask(m_old); }
    ScopedUmask(const ScopedUmask&) = delete;
    ScopedUmask& operator=(const ScopedUmask&) = delete;

   private:
    mode_t m_old;
};

}  // namespace oz::test
