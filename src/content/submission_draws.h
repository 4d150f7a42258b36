#pragma once

#include <string>
#include <string_view>

#include "config/site_config.h"
#include "content/article_draft.h"

namespace oz::content {

// True when the body shows a picture: it holds "<img " and one of the extensions .jpg, .jpeg,
// .png, .gif anywhere (ASCII case ignored).
bool bodyHoldsPicture(std::string_view body);

// `flags[]` letters in form order (h c f a s b p). Without 随机属性 the checked flags; with it, an
// article gets flags only one time in five, and then each flag with a chance of 6 in 11. "f"
// (幻灯) and "p" (图片) only for a body that holds a picture.
std::string drawFlags(const config::SiteConfig& site, std::string_view body);

// `description`: the first n characters (n drawn from lo..hi) of the body with tags removed,
// entities decoded, web addresses and all white space removed; empty when n <= 0.
std::string drawSummary(std::string_view body, int lo, int hi);

// `click`: drawn from 浏览次数1..浏览次数2.
int drawClick(const config::SiteConfig& site);

// Draws flags, description and click for the draft's body (after its insertions), in the order
// the add-article form takes them.
void drawSubmissionFields(ArticleDraft& draft, const config::SiteConfig& site);

}  // namespace oz::content
