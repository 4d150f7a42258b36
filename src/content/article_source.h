#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/random.h"

namespace oz::content {

// How a run lists an article folder; fixed when the run starts (left click: complete, right
// click: fast).
enum class ListingMethod {
    // Every file of the folder, tested against the filter once it is classified (all files, an
    // extension, or the wildcard pattern used unanchored and case-insensitively).
    Complete,
    // The filter split at "|", each piece matched as a whole-name wildcard ("*", "?"), piece by
    // piece; a file that matches two pieces is listed twice.
    Fast,
};

// A folder or file path as this machine opens it. Settings written on Windows separate folders
// with "\": when the path does not exist as given, every "\" is read as "/".
std::string toLocalPath(std::string_view path);

// Why a file of the article folder is never read as an article, though it is a regular file.
enum class PathRefusal {
    None,
    OutsideFolder,  // its real path (links resolved) leads out of the article folder
    InDataFolder,   // its real path lies in the program's data folder (the settings, the records)
};

// A file of the folder listing refused, and why.
struct RefusedFile {
    std::string path;  // as listed (folder + "/" + name)
    std::string realPath;
    PathRefusal why = PathRefusal::None;
};

// Where an article file really lies and whether it may be read: the real path must stay inside the
// article folder's real path and out of `dataDir` (unless the article folder itself lies inside the
// data folder, in a folder of its own). A link is followed only to that test; a dangling link, a
// loop or a file gone gives Unreadable, with `realPath` empty. An empty `dataDir` is no folder.
struct ArticlePath {
    std::string realPath;  // what to open; empty when it cannot be resolved
    PathRefusal refusal = PathRefusal::None;
};
ArticlePath resolveArticlePath(std::string_view folder, std::string_view path,
                               const std::filesystem::path& dataDir);

// The full paths (folder + "/" + name) of the regular files directly inside `folder` that pass
// `filter`; sub-folders are never entered. A file whose real path resolveArticlePath refuses is
// left out and, when `refused` is given, named there (once, even when two filter pieces match it). The folder
// may use "/" or "\" separators. An empty filter lists every file. Names keep their bytes as the file system
// holds them. Each listing (each filter piece, for the fast one) comes in name order, ignoring ASCII case, as
// the home platform's file system reports it. A missing or empty folder name gives an empty list.
std::vector<std::string> listArticleFiles(std::string_view folder, std::string_view filter,
                                          ListingMethod method, const std::filesystem::path& dataDir = {},
                                          std::vector<RefusedFile>* refused = nullptr);

// Whether the folder is there and can be listed (an empty list from it is then no fault).
bool articleFolderOpens(std::string_view folder);

// The file name without folder (after the last "/"; after the last "\" only in a path written
// the Windows way, "D:\..." or "\\server\...") and without its last extension:
// "D:\a\[#2#]我是谁.txt" gives "[#2#]我是谁", "/a/b\c.txt" gives "b\c", "a.b.txt" gives "a.b".
std::string titleFromFileName(std::string_view path);

// One site's article list for one run: the listed files, how many were taken, and the picker
// that draws them in random order.
struct ArticleList {
    std::vector<std::string> files;
    int cursor = 0;  // articles taken so far in this run
    text::NoRepeatPicker picker;

    int count() const { return static_cast<int>(files.size()); }
    // Replaces the list: the cursor goes back to 0 and the picker starts a new order.
    void assign(std::vector<std::string> newFiles);
};

// `nextArticle`: takes the next file, in listing order when `inReadOrder` (the check box
// "按读入顺序发布"), else in the picker's random order; every file is taken at most once per
// run. std::nullopt when the list is used up or `stopping` is set.
std::optional<std::string> nextArticle(ArticleList& list, bool inReadOrder, bool stopping = false);

}  // namespace oz::content
