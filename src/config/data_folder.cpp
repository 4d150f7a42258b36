#include "config/data_folder.h"

#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace oz::config {

namespace fs = std::filesystem;

namespace {

bool isWritableDir(const fs::path& dir) {
    std::error_code ec;
    if (dir.empty() || !fs::is_directory(dir, ec)) return false;
#ifdef _WIN32
    return _waccess(dir.c_str(), 2) == 0;
#else
    return access(dir.c_str(), W_OK) == 0;
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

fs::path chooseDataFolder(const DataFolderChoice& choice) {
    if (choice.explicitDir) return fs::path(*choice.explicitDir);
    if (choice.environment) return fs::path(*choice.environment);
    if (!isSystemProgramFolder(choice.executableDir) && isWritableDir(choice.executableDir)) {
        return choice.executableDir;
    }
    fs::path base;
    if (choice.xdgDataHome) {
        base = *choice.xdgDataHome;
    } else if (choice.home) {
        base = fs::path(*choice.home) / ".local" / "share";
    } else {
        base = fs::temp_directory_path();
    }
    return base / "Orvane·Zentrel";
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

std::string prepareDataFolder(const fs::path& dir) {
    std::error_code ec;
    if (fs::exists(dir, ec)) {
        if (!fs::is_directory(dir, ec)) return "数据目录不是文件夹：" + dir.string();
        return {};
    }
    fs::create_directories(dir, ec);
    if (ec) return "无法创建数据目录：" + dir.string() + "（" + ec.message() + "）";
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::replace, ec);
    return {};
}

}  // namespace oz::config
