#pragma once

// What the pages of a stand-in site share: the targets of their message pages, and the path and
// date helpers the stored articles and pictures are named with.

#include <string>

namespace oz::testing {

inline constexpr const char* kNeutralMessage = "请求已处理，请返回。";  // StandinFaults::omitSuccessText
inline constexpr const char* kBack = "javascript:history.go(-1);";
inline constexpr const char* kDone = "javascript:;";
// The salt of the cookies that sign a session's and a login's ids.
inline constexpr const char* kDedeIdSalt = "1BH21ANI1AGD297L1FF21LN02BGE1DNG";

std::string trimSlashes(std::string text);
std::string dateFolder();  // today's folder of new articles: "2026/1209"
std::string todayText();   // "2026-12-09"

}  // namespace oz::testing
