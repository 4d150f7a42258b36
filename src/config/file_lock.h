#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace oz::config {

// An exclusive advisory lock on "<file>.lock", held for the object's lifetime. It keeps a second
// process (or a second writer in this one) from editing the same file at the same time.
class FileLock {
   public:
    // std::nullptr with `error` set when the file is locked by someone else or the lock file
    // cannot be made.
    static std::unique_ptr<FileLock> acquire(const std::filesystem::path& file, std::string& error);
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

   private:
    FileLock() = default;
#ifdef _WIN32
    void* m_handle = nullptr;
#else
    int m_fd = -1;
#endif
};

}  // namespace oz::config
