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

// Deletes a file: true when it is gone, else `error` says why.
using FileRemover = std::function<bool(const std::filesystem::path& file, std::error_code& error)>;
// std::filesystem::remove, counting a file that was not there as gone.
bool removeFileOnDisk(const std::filesystem::path& file, std::error_code& error);

// Article files that were published under 更新后删除 but could not be deleted (a read-only folder,
// say). As a deleted file would, they stay out of later runs: the data folder keeps them in
// "未能删除的已发布文章.txt" (GBK, CR LF; per line the path as listed, a TAB and the file's
// modification time), and every run first tries to delete them again. A file changed since (a new
// article in its place) is an article of its own again. Thread-safe.
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
    std::map<std::string, long long> m_files;  // path as listed, modification time
};

// The modification time of a file as the record keeps it; std::nullopt when it cannot be read.
std::optional<long long> modificationTime(const std::string& path);

}  // namespace oz::engine
