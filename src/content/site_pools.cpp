#include "content/site_pools.h"

#include "content/article_blocks.h"
#include "content/text_lines.h"

namespace oz::content {

std::vector<int> parseCategoryIds(std::string_view text) {
    std::vector<int> ids;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t comma = text.find(',', start);
        std::string_view piece = text.substr(start, comma == std::string_view::npos ? comma : comma - start);
        if (!piece.empty()) ids.push_back(lenientInt(piece));
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return ids;
}

SitePools buildSitePools(const config::SiteConfig& site, ListingMethod method) {
    SitePools pools;
    pools.keywords.assign(splitListLines(site.keywordList));
    pools.tags.assign(splitListLines(site.tagList));
    pools.shortTitles.assign(splitListLines(site.shortTitleList));
    pools.authors.assign(splitListLines(site.authorList));
    pools.categories.assign(parseCategoryIds(site.categoryIds));
    if (site.bodyKeywordInsert) pools.bodyInsert.assign(splitListLines(site.bodyKeywordList));
    if (site.tailKeywordInsert) {
        std::vector<std::string> lines = splitListLines(site.tailKeywordList);
        if (site.tailArticleBlocks) {
            pools.tailInsert.assign(loadArticleBlocks(lines, site.tailBlockSeparator, method));
        } else {
            pools.tailInsert.assign(std::move(lines));
        }
    }
    if (site.titleKeywordInsert) pools.titleInsert.assign(splitListLines(site.titleKeywordList));
    return pools;
}

}  // namespace oz::content
