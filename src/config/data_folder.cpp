#include "config/data_folder.h"

#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "config/private_files.h"
#include "text/path_text.h"

namespace oz::config {

namespace fs = std::filesystem;

namespace {

// A folder of this user that it may write to.
bool isOwnWritableDir(const fs::path& dir) {
    std::error_code ec;
    if (dir.empty() || !fs::is_directory(dir, ec)) return false;
#ifdef _WIN32
    return _waccess(dir.c_str(), 2) == 0;
#else
    struct stat st {};
    return ::stat(dir.c_str(), &st) == 0 && st.st_uid == ::geteuid() && access(dir.c_str(), W_OK) == 0;
#endif
}

// An installed program's folder (/usr/bin, /usr/local/bin, /bin): writable for root, yet no place
// for a settings file with passwords.
bool isSystemProgramFolder(const fs::path& dir) {
    const std::string text = dir.generic_string();
    return text.starts_with("/usr/") || text == "/bin" || text == "/sbin" || text.starts_with("/opt/");
}

std::optional<std::string> environmentValue(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') return std::nullopt;
    return std::string(value);
}

fs::path executableFolder() {
    std::error_code ec;
#ifdef _WIN32
    return fs::current_path(ec);
#else
    fs::path self = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return fs::current_path(ec);
    return self.parent_path();
#endif
}

}  // namespace

std::optional<fs::path> chooseDataFolder(const DataFolderChoice& choice) {
    if (choice.explicitDir) return fs::path(*choice.explicitDir);
    if (choice.environment) return fs::path(*choice.environment);
    if (!isSystemProgramFolder(choice.executableDir) && isOwnWritableDir(choice.executableDir)) {
        return choice.executableDir;
    }
    // The XDG rules ignore a relative XDG_DATA_HOME; a relative HOME would put the passwords
    // wherever the program happens to be started.
    auto absolute = [](const std::optional<std::string>& value) {
        return value && fs::path(*value).is_absolute();
    };
    if (absolute(choice.xdgDataHome)) return fs::path(*choice.xdgDataHome) / "Orvane·Zentrel";
    if (absolute(choice.home)) return fs::path(*choice.home) / ".local" / "share" / "Orvane·Zentrel";
    return std::nullopt;
}

DataFolderChoice dataFolderChoiceFromProcess(std::optional<std::string> explicitDir) {
    DataFolderChoice choice;
    choice.explicitDir = std::move(explicitDir);
    choice.environment = environmentValue(kDataDirEnvironment);
    choice.executableDir = executableFolder();
    choice.xdgDataHome = environmentValue("XDG_DATA_HOME");
    choice.home = environmentValue("HOME");
    return choice;
}

std::string prepareDataFolder(const fs::path& dir, std::string* notice) {
    std::string error;
    bool tightened = false;
    if (!makeOwnFolder(dir, error, &tightened)) return "数据目录不可用：" + error;
    const int entries = tightenDataFolderEntries(dir);
    if ((tightened || entries > 0) && notice != nullptr) {
        *notice =
            "数据目录的权限已收紧：已去掉组和其他用户的权限（如 0755 改为 0700，0644 改为 "
            "0600），本人的权限不变：" +
            text::pathText(dir);
    }
    return {};
}

DataFolder openDataFolder(const DataFolderChoice& choice) {
    DataFolder folder;
    std::optional<fs::path> dir = chooseDataFolder(choice);
    if (!dir) {
        folder.problem = kNoDataFolderMessage;
        return folder;
    }
    folder.problem = prepareDataFolder(*dir, &folder.notice);
    if (folder.problem.empty()) folder.dir = std::move(*dir);
    return folder;
}

}  // namespace oz::config
