#include "content/article_source.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "text/characters.h"
#include "text/charset.h"
#include "text/regex_matcher.h"

namespace oz::content {

namespace {

namespace fs = std::filesystem;

char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Name order as the home platform's file system reports it: ASCII case ignored, then bytes.
bool nameLess(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto ca = static_cast<unsigned char>(lowerAscii(a[i]));
        auto cb = static_cast<unsigned char>(lowerAscii(b[i]));
        if (ca != cb) return ca < cb;
    }
    if (a.size() != b.size()) return a.size() < b.size();
    return a < b;
}

// Whether `path` is `base` or lies below it, compared name by name (both resolved).
bool liesIn(const fs::path& path, const fs::path& base) {
    auto at = path.begin();
    for (const fs::path& part : base) {
        if (part.empty()) continue;
        if (at == path.end() || *at != part) return false;
        ++at;
    }
    return true;
}

fs::path realPathOf(const fs::path& path) {
    std::error_code ec;
    fs::path real = fs::canonical(path, ec);
    return ec ? fs::path() : real;
}

// The article folder resolved once, so that a plain file of it needs no test of its own: only a
// link can lead elsewhere.
class FolderTest {
   public:
    FolderTest(const fs::path& folder, const fs::path& dataDir)
        : m_folder(realPathOf(folder)), m_data(dataDir.empty() ? fs::path() : realPathOf(dataDir)) {
        // An article folder of its own inside the data folder is the operator's; the data folder
        // itself (or a folder above it) is not an article folder.
        if (!m_folder.empty() && m_folder == m_data) {
            m_plainRefusal = PathRefusal::InDataFolder;
        }
    }

    ArticlePath test(const fs::path& file, bool link) const {
        if (!link && !m_folder.empty()) {
            return {(m_folder / file.filename()).native(), m_plainRefusal};
        }
        ArticlePath result;
        const fs::path real = realPathOf(file);
        if (real.empty()) return result;
        result.realPath = real.native();
        if (m_folder.empty() || !liesIn(real, m_folder)) {
            result.refusal = PathRefusal::OutsideFolder;
        } else if (!m_data.empty() && liesIn(real, m_data) &&
                   !(liesIn(m_folder, m_data) && m_folder != m_data)) {
            result.refusal = PathRefusal::InDataFolder;
        }
        return result;
    }

   private:
    fs::path m_folder;
    fs::path m_data;
    PathRefusal m_plainRefusal = PathRefusal::None;
};

// The names of the regular files (symbolic links to them included) directly inside the folder,
// in name order. Devices, pipes and sockets are left out: reading one could block forever. A file
// whose real path the test refuses goes to `refused` instead.
std::vector<std::string> regularFileNames(const std::string& folder, const FolderTest& folderTest,
                                          std::vector<RefusedFile>* refused) {
    std::vector<std::string> names;
    std::error_code ec;
    fs::directory_iterator it(fs::path(folder), fs::directory_options::skip_permission_denied, ec);
    if (ec) return names;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
        if (ec) break;
        std::error_code typeError;
        if (!it->is_regular_file(typeError)) continue;
        const bool link = it->is_symlink(typeError);
        const ArticlePath real = folderTest.test(it->path(), link || typeError);
        if (real.refusal != PathRefusal::None) {
            if (refused != nullptr)
                refused->push_back({folder + it->path().filename().native(), real.realPath, real.refusal});
            continue;
        }
        names.push_back(it->path().filename().native());
    }
    std::sort(names.begin(), names.end(), nameLess);
    if (refused != nullptr) {
        std::sort(refused->begin(), refused->end(),
                  [](const RefusedFile& a, const RefusedFile& b) { return nameLess(a.path, b.path); });
    }
    return names;
}

// The folder as this machine opens it, ending with exactly one "/"; empty when none was given.
std::string folderPrefix(std::string_view folder) {
    if (folder.empty()) return {};
    std::string local = toLocalPath(folder);
    if (local.back() != '/') local.push_back('/');
    return local;
}

// The complete listing's filter, classified once.
class CompleteFilter {
   public:
    explicit CompleteFilter(std::string_view filter) {
        if (filter.empty() || filter == "*" || filter == "*.*") {
            m_kind = Kind::All;
        } else if (filter.size() >= 2 && filter.substr(0, 2) == "*." &&
                   filter.find('*', 1) == std::string_view::npos && filter != "*.htm") {
            m_kind = Kind::Extension;
            m_extension = text::toLowerAscii(filter.substr(1));
        } else {
            m_kind = Kind::Pattern;
            m_pattern.emplace(text::wildcardToRegex(filter), text::RegexOptions{true, true, false});
        }
    }

    bool passes(const std::string& name) const {
        switch (m_kind) {
            case Kind::All:
                return true;
            case Kind::Extension: {
                if (name.size() < m_extension.size()) return false;
                std::string_view tail = std::string_view(name).substr(name.size() - m_extension.size());
                return text::toLowerAscii(tail) == m_extension;
            }
            case Kind::Pattern:
                // The pattern works on UTF-8; a name stored in another encoding is tested in its
                // lossy reading, so it can still match on its ASCII parts.
                if (text::isValidUtf8(name)) return m_pattern->test(name);
                return m_pattern->test(text::decodeLossy(name, text::Charset::Utf8));
        }
        return false;
    }

   private:
    enum class Kind { All, Extension, Pattern };
    Kind m_kind = Kind::All;
    std::string m_extension;
    std::optional<text::RegexMatcher> m_pattern;
};

std::u32string foldedCodePoints(std::string_view text) {
    std::u32string out;
    out.reserve(text.size());
    std::size_t offset = 0;
    while (offset < text.size()) {
        std::size_t length = 0;
        char32_t c = text::codePointAt(text, offset, &length);
        if (length == 0) length = 1;
        if (c >= U'A' && c <= U'Z') c = c - U'A' + U'a';
        out.push_back(c);
        offset += length;
    }
    return out;
}

// Whole-name wildcard match: "*" any run, "?" exactly one character; ASCII case ignored.
bool wildcardMatches(std::u32string_view pattern, std::u32string_view name) {
    std::size_t p = 0, n = 0;
    std::size_t starP = std::u32string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == U'*') {
            starP = p++;
            starN = n;
        } else if (starP != std::u32string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'*') ++p;
    return p == pattern.size();
}

// One piece of the fast listing's filter, matched the way the home platform's file search
// matches: "*" and "*.*" take every name, and a trailing ".*" also takes a name without a dot.
class WildcardPiece {
   public:
    explicit WildcardPiece(std::string_view piece) : m_pattern(foldedCodePoints(piece)) {
        m_all = m_pattern == U"*" || m_pattern == U"*.*";
        if (m_pattern.size() >= 2 && m_pattern.ends_with(U".*")) {
            m_withoutDotStar = m_pattern.substr(0, m_pattern.size() - 2);
        }
    }

    bool matches(const std::string& name) const {
        if (m_pattern.empty()) return false;
        if (m_all) return true;
        std::u32string folded = foldedCodePoints(name);
        if (wildcardMatches(m_pattern, folded)) return true;
        return m_withoutDotStar && wildcardMatches(*m_withoutDotStar, folded);
    }

   private:
    std::u32string m_pattern;
    bool m_all = false;
    std::optional<std::u32string> m_withoutDotStar;
};

}  // namespace

std::string toLocalPath(std::string_view path) {
    std::string asGiven(path);
    if (path.find('\\') == std::string_view::npos) return asGiven;
    std::error_code ec;
    if (fs::exists(fs::path(asGiven), ec)) return asGiven;
    std::replace(asGiven.begin(), asGiven.end(), '\\', '/');
    return asGiven;
}

ArticlePath resolveArticlePath(std::string_view folder, std::string_view path, const fs::path& dataDir) {
    const FolderTest folderTest(fs::path(toLocalPath(folder)), dataDir);
    return folderTest.test(fs::path(toLocalPath(path)), /*link=*/true);
}

bool articleFolderOpens(std::string_view folder) {
    const std::string prefix = folderPrefix(folder);
    if (prefix.empty()) return false;
    std::error_code ec;
    fs::directory_iterator it(fs::path(prefix), ec);
    return !ec;
}

std::vector<std::string> listArticleFiles(std::string_view folder, std::string_view filter,
                                          ListingMethod method, const fs::path& dataDir,
                                          std::vector<RefusedFile>* refused) {
    std::vector<std::string> paths;
    std::string prefix = folderPrefix(folder);
    if (prefix.empty()) return paths;
    std::vector<std::string> names = regularFileNames(prefix, FolderTest(fs::path(prefix), dataDir), refused);
    if (names.empty()) return paths;

    if (method == ListingMethod::Complete) {
        CompleteFilter test(filter);
        for (const std::string& name : names) {
            if (test.passes(name)) paths.push_back(prefix + name);
        }
        return paths;
    }

    std::string_view pieces = filter.empty() ? std::string_view("*.*") : filter;
    std::size_t start = 0;
    while (true) {
        std::size_t bar = pieces.find('|', start);
        WildcardPiece piece(pieces.substr(start, bar == std::string_view::npos ? bar : bar - start));
        for (const std::string& name : names) {
            if (piece.matches(name)) paths.push_back(prefix + name);
        }
        if (bar == std::string_view::npos) break;
        start = bar + 1;
    }
    return paths;
}

namespace {

// A path as Windows writes it ("D:\\..." or "\\\\server\\..."), in which "\\" separates folders. On
// this system only "/" does: a "\\" in a file name is part of the name.
bool isWindowsPath(std::string_view path) {
    if (path.find('/') != std::string_view::npos) return false;
    const bool drive = path.size() >= 3 && std::isalpha(static_cast<unsigned char>(path[0])) &&
                       path[1] == ':' && path[2] == '\\';
    return drive || path.starts_with("\\\\");
}

}  // namespace

std::string titleFromFileName(std::string_view path) {
    std::size_t slash = path.find_last_of(isWindowsPath(path) ? "\\" : "/");
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot != std::string_view::npos) name = name.substr(0, dot);
    return std::string(name);
}

void ArticleList::assign(std::vector<std::string> newFiles) {
    files = std::move(newFiles);
    cursor = 0;
    picker.reset();
}

std::optional<std::string> nextArticle(ArticleList& list, bool inReadOrder, bool stopping) {
    if (list.cursor <= list.count()) ++list.cursor;
    if (stopping || list.cursor > list.count()) return std::nullopt;
    int number = inReadOrder ? list.cursor : list.picker.next(1, list.count());
    if (number < 1 || number > list.count()) return std::nullopt;
    return list.files[static_cast<std::size_t>(number - 1)];
}

}  // namespace oz::content
