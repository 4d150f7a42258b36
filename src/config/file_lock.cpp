#include "config/file_lock.h"

#include <cerrno>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

#include "config/system_reason.h"
#include "text/path_text.h"

namespace oz::config {

namespace fs = std::filesystem;

namespace {

using text::pathText;

fs::path lockPath(const fs::path& file) {
    fs::path lock = file;
    lock += ".lock";
    return lock;
}

}  // namespace

#ifdef _WIN32

std::unique_ptr<FileLock> FileLock::acquire(const fs::path& file, std::string& error) {
    // No sharing: a second opener fails while this handle is open.
    HANDLE handle = CreateFileW(lockPath(file).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = GetLastError() == ERROR_SHARING_VIOLATION ? "设置文件正被另一个程序使用：" + pathText(file)
                                                          : "无法锁定设置文件：" + pathText(file);
        return nullptr;
    }
    std::unique_ptr<FileLock> lock(new FileLock);
    lock->m_handle = handle;
    return lock;
}

FileLock::~FileLock() {
    if (m_handle != nullptr) CloseHandle(static_cast<HANDLE>(m_handle));
}

#else

std::unique_ptr<FileLock> FileLock::acquire(const fs::path& file, std::string& error) {
    int fd = ::open(lockPath(file).c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "无法锁定设置文件：" + pathText(file) + "（" + systemReason(errno) + "）";
        return nullptr;
    }
    int rc;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc != 0) {
        int code = errno;
        ::close(fd);
        error = code == EWOULDBLOCK
                    ? "设置文件正被另一个程序使用：" + pathText(file)
                    : "无法锁定设置文件：" + pathText(file) + "（" + systemReason(code) + "）";
        return nullptr;
    }
    std::unique_ptr<FileLock> lock(new FileLock);
    lock->m_fd = fd;
    return lock;
}

FileLock::~FileLock() {
    if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
}

#endif

}  // namespace oz::config
