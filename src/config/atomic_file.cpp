#include "config/atomic_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "config/huge_pages.h"
#include "config/private_files.h"
#include "config/system_reason.h"
#include "text/path_text.h"

namespace oz::config {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kSyncEachLimit = 4;

using text::pathText;

fs::path temporaryPath(const fs::path& path) {
#ifdef _WIN32
    auto pid = static_cast<unsigned long>(GetCurrentProcessId());
#else
    auto pid = static_cast<unsigned long>(getpid());
#endif
    fs::path name = path.filename();
    name += ".tmp" + std::to_string(pid);
    return path.parent_path() / name;
}

bool sameContent(const fs::path& path, const std::optional<std::string>& bytes) {
    std::error_code ec;
    // A link in the file's place is never kept: the write replaces it with a file of our own.
    if (fs::is_symlink(fs::symlink_status(path, ec))) return false;
    bool exists = fs::exists(path, ec);
    if (!bytes) return !exists && !ec;
    if (!exists || fs::file_size(path, ec) != bytes->size() || ec) return false;
    std::string error;
    auto current = readWholeFile(path, error);
    return current && *current == *bytes;
}

#ifdef _WIN32

bool writeFileData(const fs::path& path, const fs::path& target, std::string_view bytes, bool sync,
                   std::string& error) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = "无法写入文件：" + pathText(target);
        return false;
    }
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1 << 30));
        DWORD written = 0;
        ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) != 0;
        done += written;
    }
    ok = ok && (!sync || FlushFileBuffers(file) != 0);
    CloseHandle(file);
    if (!ok) error = "无法写入文件：" + pathText(target);
    return ok;
}

bool syncFile(const fs::path& path, std::string& error) {
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = file != INVALID_HANDLE_VALUE && FlushFileBuffers(file) != 0;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!ok) error = "无法写入文件：" + pathText(path);
    return ok;
}

bool moveOver(const fs::path& from, const fs::path& to, std::string& error) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) == 0) {
        error = "无法替换文件：" + pathText(to);
        return false;
    }
    return true;
}

void syncFolder(const fs::path&) {}  // MOVEFILE_WRITE_THROUGH already made the rename durable

bool isWriteProtected(const fs::path& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0;
}

bool syncFileSystem(const fs::path&) { return false; }

#else

bool writeFileData(const fs::path& path, const fs::path& target, std::string_view bytes, bool sync,
                   std::string& error) {
    // A fresh file of our own: never one that was there (a leftover of a killed save, or a link
    // planted in its place), and 0600 whatever the umask or the mode of the file it replaces.
    constexpr int kFlags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
    int fd = ::open(path.c_str(), kFlags, 0600);
    if (fd < 0 && errno == EEXIST && ::unlink(path.c_str()) == 0) fd = ::open(path.c_str(), kFlags, 0600);
    if (fd < 0 || ::fchmod(fd, 0600) != 0) {
        error = "无法写入文件：" + pathText(target) + "（" + systemReason(errno) + "）";
        if (fd >= 0) ::close(fd);
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = "无法写入文件：" + pathText(target) + "（" + systemReason(errno) + "）";
            ::close(fd);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    if (sync && ::fsync(fd) != 0) {
        error = "无法写入文件：" + pathText(target) + "（" + systemReason(errno) + "）";
        ::close(fd);
        return false;
    }
    if (::close(fd) != 0) {
        error = "无法写入文件：" + pathText(target) + "（" + systemReason(errno) + "）";
        return false;
    }
    return true;
}

bool syncFile(const fs::path& path, std::string& error) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    bool ok = fd >= 0 && ::fsync(fd) == 0;
    if (!ok) error = "无法写入文件：" + pathText(path) + "（" + systemReason(errno) + "）";
    if (fd >= 0) ::close(fd);
    return ok;
}

bool moveOver(const fs::path& from, const fs::path& to, std::string& error) {
    if (::rename(from.c_str(), to.c_str()) != 0) {
        error = "无法替换文件：" + pathText(to) + "（" + systemReason(errno) + "）";
        return false;
    }
    return true;
}

// Flushes every file of the file system holding `dir` in one call, where the system offers it:
// far cheaper than one fsync per file when a batch replaces hundreds of files.
bool syncFileSystem(const fs::path& dir) {
#ifdef __linux__
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::syncfs(fd) == 0;
    ::close(fd);
    return ok;
#else
    (void)dir;
    return false;
#endif
}

// A file the user made read-only: no write permission for anyone, or none for this process.
bool isWriteProtected(const fs::path& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    return (st.st_mode & 0222) == 0 || ::access(path.c_str(), W_OK) != 0;
}

// Makes renames and removals inside the folder durable.
void syncFolder(const fs::path& dir) {
    int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

#endif

}  // namespace

std::optional<std::string> readWholeFile(const fs::path& path, std::string& error, bool* missing) {
    if (missing) *missing = false;
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        if (missing) *missing = !ec;
        error = "文件不存在：" + pathText(path);
        return std::nullopt;
    }
    if (fs::is_directory(path, ec)) {
        error = "无法读取文件（这是一个文件夹）：" + pathText(path);
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "无法读取文件：" + pathText(path) + "（" + systemReason(errno) + "）";
        return std::nullopt;
    }
    std::string bytes;
    in.seekg(0, std::ios::end);
    auto size = in.tellg();
    if (size > 0) {
        bytes.reserve(static_cast<std::size_t>(size));
        adviseHugePages(bytes.data(), bytes.capacity());
        bytes.resize(static_cast<std::size_t>(size));
        in.seekg(0);
        in.read(bytes.data(), size);
    }
    if (!in && !in.eof()) {
        error = "无法读取文件：" + pathText(path);
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount() > 0 ? in.gcount() : 0));
    return bytes;
}

bool replaceFiles(const std::vector<FileReplacement>& files, std::string& error) {
    // Write every temporary file first, then rename them all: the slow part (flushing data)
    // happens before any old file is given up.
    std::vector<std::pair<fs::path, fs::path>> renames;
    std::vector<fs::path> removals;
    auto cleanUp = [&renames] {
        std::error_code ec;
        for (const auto& [temp, target] : renames) fs::remove(temp, ec);
    };
    std::vector<const FileReplacement*> writes;
    for (const FileReplacement& file : files) {
        if (sameContent(file.path, file.bytes)) continue;
        // Renaming over it would bypass the protection the user gave the file.
        if (isWriteProtected(file.path)) {
            error = "无法写入文件：" + pathText(file.path) + "（文件是只读的）";
            return false;
        }
        if (file.bytes) {
            writes.push_back(&file);
        } else {
            removals.push_back(file.path);
        }
    }
    // Many files: write them all, then flush the file system once; few: flush each.
    const bool syncEach = writes.size() <= kSyncEachLimit;
    for (const FileReplacement* file : writes) {
        fs::path folder = file->path.parent_path().empty() ? fs::path(".") : file->path.parent_path();
        if (!makePrivateFolder(folder, error)) {
            cleanUp();
            return false;
        }
        fs::path temp = temporaryPath(file->path);
        renames.emplace_back(temp, file->path);
        if (!writeFileData(temp, file->path, *file->bytes, syncEach, error)) {
            cleanUp();
            return false;
        }
    }
    if (!syncEach) {
        std::set<fs::path> targetFolders;
        for (const auto& [temp, target] : renames) targetFolders.insert(target.parent_path());
        bool synced = true;
        for (const fs::path& folder : targetFolders) synced = syncFileSystem(folder) && synced;
        for (std::size_t i = 0; !synced && i < renames.size(); ++i) {
            if (!syncFile(renames[i].first, error)) {
                cleanUp();
                return false;
            }
        }
    }
    std::set<fs::path> folders;
    for (std::size_t i = 0; i < renames.size(); ++i) {
        if (!moveOver(renames[i].first, renames[i].second, error)) {
            std::error_code ec;
            for (std::size_t j = i; j < renames.size(); ++j) fs::remove(renames[j].first, ec);
            return false;
        }
        folders.insert(renames[i].second.parent_path());
    }
    for (const fs::path& path : removals) {
        std::error_code ec;
        fs::remove(path, ec);
        if (ec) {
            error = "无法删除文件：" + pathText(path) + "（" + systemReason(ec.value()) + "）";
            return false;
        }
        folders.insert(path.parent_path());
    }
    for (const fs::path& dir : folders) syncFolder(dir);
    return true;
}

}  // namespace oz::config
