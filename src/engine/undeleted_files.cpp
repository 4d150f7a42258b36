#include "engine/undeleted_files.h"

#include <sstream>
#include <system_error>

#include "config/atomic_file.h"
#include "config/data_folder.h"
#include "content/article_source.h"
#include "text/charset.h"

namespace oz::engine {

std::optional<long long> modificationTime(const std::string& path) {
    std::error_code error;
    const auto time = std::filesystem::last_write_time(content::toLocalPath(path), error);
    if (error) return std::nullopt;
    return static_cast<long long>(time.time_since_epoch().count());
}

UndeletedFiles::UndeletedFiles(std::filesystem::path dataDir)
    : m_record(dataDir.empty() ? std::filesystem::path() : dataDir / config::kUndeletedArticlesFile) {}

bool removeFileOnDisk(const std::filesystem::path& file, std::error_code& error) {
    std::filesystem::remove(file, error);
    return !error;
}

void UndeletedFiles::load(const FileRemover& remove) {
    std::lock_guard lock(m_mutex);
    m_files.clear();
    if (m_record.empty()) return;
    std::string error;
    const std::optional<std::string> bytes = config::readWholeFile(m_record, error);
    if (!bytes) return;
    std::istringstream lines(text::gbkToUtf8(*bytes));
    bool changed = false;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::size_t tab = line.rfind('\t');
        if (tab == std::string::npos) continue;
        const std::string path = line.substr(0, tab);
        const std::optional<long long> now = modificationTime(path);
        std::error_code removeError;
        if (!now || std::to_string(*now) != line.substr(tab + 1) ||
            remove(std::filesystem::path(content::toLocalPath(path)), removeError)) {
            changed = true;  // gone, changed, or deleted now
            continue;
        }
        m_files[path] = *now;
    }
    if (changed) (void)save();
}

bool UndeletedFiles::isPublished(const std::string& path) const {
    std::lock_guard lock(m_mutex);
    const auto found = m_files.find(path);
    return found != m_files.end() && modificationTime(path) == found->second;
}

std::optional<backend::WriteFailure> UndeletedFiles::add(const std::string& path) {
    const std::optional<long long> time = modificationTime(path);
    std::lock_guard lock(m_mutex);
    if (!time || m_record.empty()) return std::nullopt;
    m_files[path] = *time;
    return save();
}

std::optional<backend::WriteFailure> UndeletedFiles::save() const {
    std::string text;
    for (const auto& [path, time] : m_files) text += path + "\t" + std::to_string(time) + "\r\n";
    std::string error;
    const bool written = m_files.empty() ? config::replaceFiles({{m_record, std::nullopt}}, error)
                                         : config::replaceFile(m_record, text::utf8ToGbk(text), error);
    if (written) return std::nullopt;
    return backend::WriteFailure{m_record, error};
}

}  // namespace oz::engine
