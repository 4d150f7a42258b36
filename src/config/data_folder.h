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
// What was sent to which back end, one file per back end; and the salt of the back ends' fingerprints.
inline constexpr const char* kSendJournalFolder = "已发送文章";
inline constexpr const char* kBackEndSaltFile = "后台标识盐.txt";
inline constexpr const char* kScheduleFile = "时间点.计划任务";
inline constexpr const char* kDataDirEnvironment = "ORVANE_DATA_DIR";

struct DataFolderChoice {
    std::optional<std::string> explicitDir;  // --data-dir
    std::optional<std::string> environment;  // ORVANE_DATA_DIR
    std::filesystem::path executableDir;     // where the program lies
    std::optional<std::string> xdgDataHome;  // XDG_DATA_HOME
    std::optional<std::string> home;         // HOME
};

// What start-up says when there is no data folder to be had.
inline constexpr const char* kNoDataFolderMessage =
    "没有数据目录：没有设置 HOME，也没有设置 XDG_DATA_HOME。请用 --data-dir DIR 或环境变量 ORVANE_DATA_DIR "
    "指定一个属于你自己的目录。";

// The data folder by the rule: --data-dir, else ORVANE_DATA_DIR, else the executable's folder when
// it is the user's own and writable, else $XDG_DATA_HOME/Orvane·Zentrel (XDG_DATA_HOME defaulting
// to ~/.local/share; a relative XDG_DATA_HOME or HOME does not count). An installed program's
// folder (under /usr or /opt, or /bin) never counts, even for root who may write there.
// std::nullopt when none of these gives a folder: a shared temporary folder is never taken, since
// another user could have made it first.
std::optional<std::filesystem::path> chooseDataFolder(const DataFolderChoice& choice);

// The choice filled from the process: environment and the running executable's folder.
DataFolderChoice dataFolderChoiceFromProcess(std::optional<std::string> explicitDir);

// Creates the folder when missing, or checks that it is the user's own, and narrows it and the
// program's entries in it to their owner (folders 0700, files 0600): it holds passwords. Returns
// an error message, empty on success; `notice` gets one line when modes had to be narrowed.
std::string prepareDataFolder(const std::filesystem::path& dir, std::string* notice = nullptr);

// The data folder of a start: chosen and prepared. `dir` is empty when there is none, and
// `problem` says why.
struct DataFolder {
    std::filesystem::path dir;
    std::string problem;
    std::string notice;  // modes were narrowed (said once: the next start finds nothing to do)
};
DataFolder openDataFolder(const DataFolderChoice& choice);

}  // namespace oz::config
