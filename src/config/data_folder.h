#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace oz::config {

// Names of the files and folders the program keeps in its data folder.
inline constexpr const char* kSettingsFileName = "Orvane·Zentrel.ini";
inline constexpr const char* kByteValuesFolder = "inibin";
inline constexpr const char* kLogFolder = "日志";
inline constexpr const char* kAddressRecordFolder = "文章地址";
inline constexpr const char* kFailureRecordFolder = "更新失败记录";
inline constexpr const char* kLoginFailureFile = "登录失败.htm";
inline constexpr const char* kUndeletedArticlesFile = "未能删除的已发布文章.txt";
inline constexpr const char* kScheduleFile = "时间点.计划任务";
inline constexpr const char* kDataDirEnvironment = "ORVANE_DATA_DIR";

struct DataFolderChoice {
    std::optional<std::string> explicitDir;  // --data-dir
    std::optional<std::string> environment;  // ORVANE_DATA_DIR
    std::filesystem::path executableDir;     // where the program lies
    std::optional<std::string> xdgDataHome;  // XDG_DATA_HOME
    std::optional<std::string> home;         // HOME
};

// The data folder by the rule: --data-dir, else ORVANE_DATA_DIR, else the executable's folder when
// writable, else $XDG_DATA_HOME/Orvane·Zentrel (XDG_DATA_HOME defaulting to ~/.local/share). An
// installed program's folder (under /usr or /opt, or /bin) never counts, even for root who may
// write there.
std::filesystem::path chooseDataFolder(const DataFolderChoice& choice);

// The choice filled from the process: environment and the running executable's folder.
DataFolderChoice dataFolderChoiceFromProcess(std::optional<std::string> explicitDir);

// Creates the folder when missing, readable by its owner only (it holds passwords).
// Returns an error message, empty on success.
std::string prepareDataFolder(const std::filesystem::path& dir);

}  // namespace oz::config
