#include "config/private_files.h"

#include <cerrno>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "config/data_folder.h"
#include "config/system_reason.h"
#include "text/path_text.h"

namespace oz::config {

namespace fs = std::filesystem;

namespace {

#ifndef _WIN32

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

// Narrows an entry found by lstat; links and other users' entries are left alone.
bool narrow(const fs::path& path, const struct stat& st) {
    if (st.st_uid != ::geteuid()) return false;
    const mode_t wanted = S_ISDIR(st.st_mode) ? kFolderMode : kFileMode;
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & 07777) == wanted) return false;
    return ::chmod(path.c_str(), wanted) == 0;
}

#endif

}  // namespace

#ifdef _WIN32

bool makePrivateFolder(const fs::path& dir, std::string& error) { return makeOwnFolder(dir, error); }

bool makeOwnFolder(const fs::path& dir, std::string& error, bool* tightened) {
    if (tightened != nullptr) *tightened = false;
    std::error_code ec;
    if (fs::is_directory(dir, ec)) return true;
    fs::create_directories(dir, ec);
    if (ec) error = "无法创建文件夹：" + text::pathText(dir) + "（" + systemReason(ec.value()) + "）";
    return !ec;
}

int preparePrivateFile(const fs::path&) { return 0; }

int tightenDataFolderEntries(const fs::path&) { return 0; }

#else

bool makePrivateFolder(const fs::path& dir, std::string& error) {
    struct stat st {};
    if (::stat(dir.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return true;
        error = "不是文件夹：" + text::pathText(dir);
        return false;
    }
    if (errno != ENOENT) {
        error = "无法使用文件夹：" + text::pathText(dir) + "（" + systemReason(errno) + "）";
        return false;
    }
    const fs::path parent = dir.parent_path();
    if (!parent.empty() && parent != dir && !makePrivateFolder(parent, error)) return false;
    // mkdir's mode passes through the umask; chmod gives exactly 0700 (an umask of 0277 would
    // leave a folder nothing can be written into).
    if (::mkdir(dir.c_str(), kFolderMode) != 0) {
        if (errno == EEXIST && ::stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
        error = "无法创建文件夹：" + text::pathText(dir) + "（" + systemReason(errno) + "）";
        return false;
    }
    ::chmod(dir.c_str(), kFolderMode);
    return true;
}

bool makeOwnFolder(const fs::path& dir, std::string& error, bool* tightened) {
    if (tightened != nullptr) *tightened = false;
    if (!makePrivateFolder(dir, error)) return false;
    // The folder itself may be a link the user made (a data folder on another disk): what counts
    // is whose folder it leads to.
    struct stat st {};
    if (::stat(dir.c_str(), &st) != 0) {
        error = "无法使用文件夹：" + text::pathText(dir) + "（" + systemReason(errno) + "）";
        return false;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = "不是文件夹：" + text::pathText(dir);
        return false;
    }
    if (st.st_uid != ::geteuid()) {
        error = "文件夹不属于当前用户，不能存放本程序的数据：" + text::pathText(dir);
        return false;
    }
    if ((st.st_mode & 07777) != kFolderMode) {
        if (::chmod(dir.c_str(), kFolderMode) != 0) {
            error = "无法设置文件夹的权限：" + text::pathText(dir) + "（" + systemReason(errno) + "）";
            return false;
        }
        // A folder just made came out narrower than 0700 only under an odd umask: no news.
        if (tightened != nullptr) *tightened = (st.st_mode & 077) != 0;
    }
    return true;
}

int preparePrivateFile(const fs::path& file) {
    // O_NONBLOCK: a FIFO put in the file's place must not hang the writer.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, kFileMode);
    if (fd < 0) return errno;
    struct stat st {};
    int result = 0;
    if (::fstat(fd, &st) != 0) {
        result = errno;
    } else if (!S_ISREG(st.st_mode)) {
        result = EINVAL;
    } else if (st.st_uid != ::geteuid()) {
        result = EPERM;
    } else if ((st.st_mode & 07777) != kFileMode && ::fchmod(fd, kFileMode) != 0) {
        result = errno;
    }
    ::close(fd);
    return result;
}

int tightenDataFolderEntries(const fs::path& dir) {
    int narrowed = 0;
    const fs::path settings = dir / text::utf8Path(kSettingsFileName);
    fs::path lock = settings;
    lock += ".lock";
    for (const fs::path& file :
         {settings, lock, dir / text::utf8Path(kLoginFailureFile), dir / text::utf8Path(kScheduleFile)}) {
        struct stat st {};
        if (::lstat(file.c_str(), &st) == 0 && S_ISREG(st.st_mode) && narrow(file, st)) ++narrowed;
    }
    for (const char* name : {kByteValuesFolder, kLogFolder, kAddressRecordFolder, kFailureRecordFolder}) {
        const fs::path folder = dir / text::utf8Path(name);
        struct stat st {};
        if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || !narrow(folder, st)) continue;
        ++narrowed;
        // Only a folder that others could reach may hold files they could read: a folder that was
        // 0700 already keeps the start-up free of a walk over thousands of logs.
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
            struct stat entry {};
            if (::lstat(it->path().c_str(), &entry) == 0 && S_ISREG(entry.st_mode) &&
                narrow(it->path(), entry))
                ++narrowed;
        }
    }
    return narrowed;
}

#endif

}  // namespace oz::config
