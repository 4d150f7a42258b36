#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/site_config.h"
#include "content/article_source.h"
#include "text/random.h"

namespace oz::content {

// The most entries, insertions or letters one draw takes, whatever bounds the settings hold: a
// mistyped bound must not exhaust memory or stall a site.
inline constexpr int kMaxDrawCount = 10000;

// One of a site's lists with the picker that draws from it: entries come out in a random order
// and repeat only after every entry has been handed out once.
template <typename T>
struct PickerPool {
    std::vector<T> entries;
    text::NoRepeatPicker picker;

    bool empty() const { return entries.empty(); }
    int size() const { return static_cast<int>(entries.size()); }
    // The next entry; the pool must not be empty.
    const T& draw() { return entries[static_cast<std::size_t>(picker.next(1, size()) - 1)]; }
    void assign(std::vector<T> values) {
        entries = std::move(values);
        picker.reset();
    }
};

using TextPool = PickerPool<std::string>;
using IdPool = PickerPool<int>;

// A site's lists for one run, built once when the site starts and drawn from by every article
// of the run (so entries spread evenly over the run). Owned by the site's worker.
struct SitePools {
    TextPool keywords;     // 关键词数据
    TextPool tags;         // 标签数据
    TextPool shortTitles;  // 标题数据
    TextPool authors;      // 作者数据
    IdPool categories;     // 栏目ID
    TextPool bodyInsert;   // 关键词插入数据 (only when 关键词插入 is on)
    TextPool tailInsert;  // 尾部关键词插入数据, or the article blocks read from it (尾部调用文章块)
    TextPool titleInsert;  // 标题关键词插入数据 (only when 标题关键词插入 is on)
};

// "栏目ID" as integers: the pieces between "," read leniently (leading digits; anything else 0),
// empty pieces left out.
std::vector<int> parseCategoryIds(std::string_view text);

// Splits the site's lists into pools, each with a fresh picker. With 尾部关键词插入 and
// 尾部调用文章块 both on, the tail lines are article files or folders whose texts are cut into
// article blocks (`loadArticleBlocks` with `method`).
SitePools buildSitePools(const config::SiteConfig& site, ListingMethod method);

}  // namespace oz::content
