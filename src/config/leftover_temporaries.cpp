#include "config/leftover_temporaries.h"

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

#include "config/data_folder.h"

namespace oz::config {

namespace fs = std::filesystem;

namespace {

using Name = fs::path::string_type;

// The process id a temporary's name ends with, when the name is `prefix` followed by digits only.
std::optional<std::uint64_t> writerOf(const Name& name, const Name& prefix) {
    constexpr std::size_t kMaxDigits = 10;
    if (name.size() <= prefix.size() || name.size() - prefix.size() > kMaxDigits ||
        name.compare(0, prefix.size(), prefix) != 0) {
        return std::nullopt;
    }
    std::uint64_t pid = 0;
    for (std::size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') return std::nullopt;
        pid = pid * 10 + static_cast<std::uint64_t>(name[i] - '0');
    }
    return pid;
}

std::uint64_t ownProcessId() {
#ifdef _WIN32
    return static_cast<std::uint64_t>(GetCurrentProcessId());
#else
    return static_cast<std::uint64_t>(getpid());
#endif
}

// Whether a process with that id runs now (this one included). An id no process can have counts as
// gone.
bool isRunning(std::uint64_t pid) {
    if (pid == ownProcessId()) return true;
#ifdef _WIN32
    if (pid == 0 || pid > 0xFFFFFFFFu) return false;
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    if (process == nullptr) return GetLastError() == ERROR_ACCESS_DENIED;
    const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
    CloseHandle(process);
    return running;
#else
    // kill() with 0 or a negative id would address process groups: such ids are never writers.
    constexpr std::uint64_t kMaxPid = 4194304;  // Linux's PID_MAX_LIMIT
    if (pid == 0 || pid > kMaxPid) return false;
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
#endif
}

struct Leftover {
    fs::path path;
    std::uint64_t writer = 0;
    bool staleWhileRunning = false;  // the lock proves that its writer is not saving any more
};

void addIfPlainFile(std::vector<Leftover>& leftovers, const fs::directory_entry& entry, std::uint64_t writer,
                    bool staleWhileRunning) {
    std::error_code ec;
    if (entry.is_symlink(ec) || !entry.is_regular_file(ec)) return;
    leftovers.push_back({entry.path(), writer, staleWhileRunning});
}

}  // namespace

int removeLeftoverTemporaries(const fs::path& settingsPath, bool lockHeld) {
    const fs::path folder = settingsPath.parent_path().empty() ? fs::path(".") : settingsPath.parent_path();
    const Name temporary = fs::path(".tmp").native();
    std::vector<Leftover> leftovers;
    std::error_code ec;

    const Name settingsPrefix = settingsPath.filename().native() + temporary;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        if (const auto writer = writerOf(it->path().filename().native(), settingsPrefix)) {
            addIfPlainFile(leftovers, *it, *writer, lockHeld);
        }
    }

    // The byte values' folder may be shared with another settings file in the same folder (an
    // export), so its temporaries go only when their writer is gone.
    const Name byteValuePrefix = fs::path(".ibn").native() + temporary;
    ec.clear();
    for (fs::directory_iterator it(folder / kByteValuesFolder, ec), end; !ec && it != end; it.increment(ec)) {
        const Name name = it->path().filename().native();
        const std::size_t at = name.rfind(byteValuePrefix);
        if (at == Name::npos || at == 0) continue;
        if (const auto writer = writerOf(name.substr(at), byteValuePrefix)) {
            addIfPlainFile(leftovers, *it, *writer, false);
        }
    }

    int removed = 0;
    for (const Leftover& leftover : leftovers) {
        if (!leftover.staleWhileRunning && isRunning(leftover.writer)) continue;
        if (fs::remove(leftover.path, ec)) ++removed;
    }
    return removed;
}

}  // namespace oz::config
