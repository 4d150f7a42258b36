#include "content/article_blocks.h"

#include <filesystem>
#include <system_error>

#include "content/load_text.h"
#include "text/characters.h"

namespace oz::content {

namespace {

namespace fs = std::filesystem;

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kBlockFilter = "*.htm|*.txt";

std::string lfToCrLf(std::string_view text) {
    std::string out;
    out.reserve(text.size() + text.size() / 32);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out.push_back('\r');
        out.push_back(text[i]);
    }
    return out;
}

void appendBlocksOfFile(const std::string& path, std::string_view separator,
                        std::vector<std::string>& blocks) {
    LoadedText loaded = loadTextFile(fs::path(path), EncodingCode::Detect);
    std::vector<std::string> cut = cutArticleBlocks(loaded.text, separator);
    blocks.insert(blocks.end(), std::make_move_iterator(cut.begin()), std::make_move_iterator(cut.end()));
}

}  // namespace

std::string blockSeparator(std::string_view setting) {
    if (setting.empty()) return std::string(kCrLf);
    std::string out;
    for (std::size_t i = 0; i < setting.size(); ++i) {
        if (setting[i] == '\\' && i + 1 < setting.size() && setting[i + 1] == 'n') {
            out.append(kCrLf);
            ++i;
        } else {
            out.push_back(setting[i]);
        }
    }
    return out;
}

std::vector<std::string> cutArticleBlocks(std::string_view text, std::string_view separator) {
    std::vector<std::string> blocks;
    if (text.empty()) return blocks;
    std::string normalised;
    if (separator.find(kCrLf) != std::string_view::npos) {
        normalised = lfToCrLf(text);
        text = normalised;
    }
    auto addPiece = [&blocks](std::string_view piece) {
        std::string trimmed = text::trimBlanks(piece);
        if (!trimmed.empty()) blocks.push_back("<p>　　" + trimmed + "</p>");
    };
    if (separator.empty()) {
        addPiece(text);
        return blocks;
    }
    std::size_t start = 0;
    while (true) {
        std::size_t at = text.find(separator, start);
        if (at == std::string_view::npos) {
            addPiece(text.substr(start));
            break;
        }
        addPiece(text.substr(start, at - start));
        start = at + separator.size();
    }
    return blocks;
}

std::vector<std::string> loadArticleBlocks(const std::vector<std::string>& entries,
                                           std::string_view separatorSetting, ListingMethod method) {
    std::string separator = blockSeparator(separatorSetting);
    std::vector<std::string> blocks;
    for (const std::string& entry : entries) {
        std::string path = toLocalPath(entry);
        std::error_code ec;
        fs::file_status status = fs::status(fs::path(path), ec);
        if (fs::is_regular_file(status)) {
            appendBlocksOfFile(path, separator, blocks);
        } else if (fs::is_directory(status) || !fs::exists(status)) {
            for (const std::string& file : listArticleFiles(entry, kBlockFilter, method)) {
                appendBlocksOfFile(file, separator, blocks);
            }
        }
        // Anything else (a device, a pipe) is never opened: reading it could block forever.
    }
    return blocks;
}

}  // namespace oz::content
