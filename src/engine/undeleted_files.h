#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <system_error>

#include "backend/records.h"

namespace oz::engine {

// The first line of the record: its layout, and that its paths are escaped.
inline constexpr std::string_view kUndeletedHeader =
    "# 每行：文章路径、TAB、修改时间（? 为未能读取）；路径中的 %、控制字符和不是 UTF-8 的字节写作 %XX";

// A path as the record writes it, and back; plain UTF-8 names stay as they are.
std::string escapeRecordedPath(std::string_view path);
std::string unescapeRecordedPath(std::string_view text);

// Deletes a file: true when it is gone, else `error` says why.
using FileRemover = std::function<bool(const std::filesystem::path& file, std::error_code& error)>;
// std::filesystem::remove, counting a file that was not there as gone.
bool removeFileOnDisk(const std::filesystem::path& file, std::error_code& error);

// Article files that were published under 更新后删除 but could not be deleted (a read-only folder,
// say). As a deleted file would, they stay out of later runs: the data folder keeps them in
// "未能删除的已发布文章.txt" (GBK, CR LF; per line the path as listed, a TAB and the file's
// modification time, "?" when it could not be read), and every run first tries to delete them
// again. A file changed since (a new article in its place) is an article of its own again; a file
// whose folder cannot be searched stays on record. The record begins with kUndeletedHeader, which
// says that every "%", control character and byte that is not UTF-8 of a path is written "%XX"
// (so a name holding a line break reads back); a record without that line (an older one) holds
// its paths as they are. Thread-safe.
class UndeletedFiles {
   public:
    explicit UndeletedFiles(std::filesystem::path dataDir);

    // Reads the record and deletes what can be deleted now; files deleted, gone or changed leave it.
    void load(const FileRemover& remove);
    // The file was published and is still the file that was.
    bool isPublished(const std::string& path) const;
    // Keeps a published file that could not be deleted; what failed when the record could not be
    // written.
    std::optional<backend::WriteFailure> add(const std::string& path);

   private:
    std::optional<backend::WriteFailure> save() const;  // with the lock held

    std::filesystem::path m_record;
    mutable std::mutex m_mutex;
    // path as listed, modification time (none when it could not be read)
    std::map<std::string, std::optional<long long>> m_files;
};

// The modification time of a file as the record keeps it; std::nullopt when it cannot be read.
std::optional<long long> modificationTime(const std::string& path);

// What a look at a recorded file finds.
struct FileLook {
    bool gone = false;              // no such file (or a folder on the way is no folder)
    std::optional<long long> time;  // its modification time; none when it is gone or unreadable
};
FileLook lookAtFile(const std::string& path);

}  // namespace oz::engine
