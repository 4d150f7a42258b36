#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "config/site_config.h"
#include "content/article_draft.h"
#include "content/site_pools.h"

namespace oz::content {

// The values of 标题关键词插入方式.
enum TitleInsertPosition : int {
    kBeforeTitle = 0,     // "标题前": word + separator + title
    kAfterTitle = 1,      // "标题后": title + separator + word
    kRandomPosition = 2,  // "随机位置": insertAtRandomPositions, no separator
};

// Inserts words[j] directly after character positions[j] (1-based; CR LF is one character),
// moved off word and tag boundaries:
//  - at an ASCII letter, the word moves to the nearest space (the one before when strictly
//    nearer, else the one after; it stays when there is none); at a letter or a space the word
//    is followed by one space;
//  - html-aware, at a position inside a tag, the word moves before the "<" or after the ">",
//    whichever is nearer, and takes no trailing space.
// Each word keeps the spacing its own position called for; words at the same spot keep their
// order. Positions outside 1..character count are clamped; an empty text stays empty.
std::string insertAtCharPositions(std::string_view text, const std::vector<int>& positions,
                                  const std::vector<std::string>& words, bool htmlAware);

// `insertAtRandomPositions`: the positions drawn from 1..character count without repetition
// (repeating only when there are more words than characters), then insertAtCharPositions.
std::string insertAtRandomPositions(std::string_view text, const std::vector<std::string>& words,
                                    bool htmlAware);

// The three insertions, each only when its switch is on and its list holds an entry; a switch
// that is on with an empty list inserts nothing.
// Body keywords (关键词插入): k from the bounds (at least 1); with 关键词插入换词 k entries drawn,
// else one entry k times; placed html-aware.
void insertBodyKeywords(ArticleDraft& draft, const config::SiteConfig& site, SitePools& pools);
// Tail (尾部关键词插入): body + "<br>" + k entries (or one entry k times), each followed by a space.
void insertTail(ArticleDraft& draft, const config::SiteConfig& site, SitePools& pools);
// Title keyword (标题关键词插入): with the chance 标题关键词插入概率 percent, one entry before or after
// the title with the separator 标题关键词插入间隔, or at a random position of the title.
void insertTitleKeyword(ArticleDraft& draft, const config::SiteConfig& site, SitePools& pools);

// Body, tail, then title insertion, as a submission applies them before building the form. A
// retried submission applies them again to the texts as the previous attempt left them.
void applyInsertions(ArticleDraft& draft, const config::SiteConfig& site, SitePools& pools);

}  // namespace oz::content
