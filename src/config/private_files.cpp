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
constexpr mode_t kGroupAndOthers = 077;

// The mode without the rights of group and others: the owner's own rights stay as the user set
// them (a folder or file made read-only stays so).
mode_t narrowed(mode_t mode) { return mode & 07777 & ~kGroupAndOthers; }

// Narrows an entry found by lstat; links and other users' entries are left alone.
bool narrow(const fs::path& path, const struct stat& st) {
    if (st.st_uid != ::geteuid()) return false;
    if (!S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) return false;
    if ((st.st_mode & kGroupAndOthers) == 0) return false;
    return ::chmod(path.c_str(), narrowed(st.st_mode)) == 0;
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
    if ((st.st_mode & kGroupAndOthers) != 0) {
        if (::chmod(dir.c_str(), narrowed(st.st_mode)) != 0) {
            error = "无法设置文件夹的权限：" + text::pathText(dir) + "（" + systemReason(errno) + "）";
            return false;
        }
        if (tightened != nullptr) *tightened = true;
    }
    return true;
}

int preparePrivateFile(const fs::path& file) {
    // O_NONBLOCK: a FIFO put in the file's place must not hang the writer. A new file is exactly
    // 0600 whatever the umask; an existing one only loses the rights of group and others.
    constexpr int kFlags = O_WRONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int fd = ::open(file.c_str(), kFlags | O_CREAT | O_EXCL, kFileMode);
    const bool created = fd >= 0;
    if (!created && errno == EEXIST) fd = ::open(file.c_str(), kFlags);
    if (fd < 0) return errno;
    struct stat st {};
    int result = 0;
    if (::fstat(fd, &st) != 0) {
        result = errno;
    } else if (!S_ISREG(st.st_mode)) {
        result = EINVAL;
    } else if (st.st_uid != ::geteuid()) {
        result = EPERM;
    } else if (const mode_t wanted = created ? kFileMode : narrowed(st.st_mode);
               (st.st_mode & 07777) != wanted && ::fchmod(fd, wanted) != 0) {
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
