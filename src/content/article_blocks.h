#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "content/article_source.h"

namespace oz::content {

// The separator as the setting "尾部分块符" holds it: every two-character "\n" stands for a
// line break (CR LF); an empty setting means CR LF.
std::string blockSeparator(std::string_view setting);

// Cuts one article text into `article block`s: split at every occurrence of the separator, each
// piece trimmed of ASCII and full-width spaces (line breaks stay), empty pieces dropped, each
// remaining piece wrapped as "<p>　　" + piece + "</p>". When the separator holds a line break,
// LF-only line breaks of the text count as CR LF.
std::vector<std::string> cutArticleBlocks(std::string_view text, std::string_view separator);

// `loadArticleBlocks`: each entry is an article file or a folder of them (folders are listed with
// the filter "*.htm|*.txt" and `method`); every file is read with encoding detection and cut by
// cutArticleBlocks with the separator of blockSeparator(separatorSetting). Entries that do not
// exist, cannot be read or give no text add nothing.
std::vector<std::string> loadArticleBlocks(const std::vector<std::string>& entries,
                                           std::string_view separatorSetting, ListingMethod method);

}  // namespace oz::content
