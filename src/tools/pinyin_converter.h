#pragma once

#include <string>
#include <string_view>

#include "tools/generator_control.h"

namespace oz::tools {

// How syllables are written: 1 "首字母大写" (only the text's first syllable capitalised),
// 2 "拼音首大写" (every syllable capitalised), 3 "全部大写", 4 "全部小写".
enum class PinyinCase { FirstOfText = 1, EverySyllable = 2, Upper = 3, Lower = 4 };

struct PinyinOptions {
    PinyinCase letterCase = PinyinCase::EverySyllable;
    bool initials = false;        // "首拼模式": each syllable's first letter only
    bool lettersOnly = false;     // "清除非字母": then only ASCII letters stay, and
    bool keepSpaces = false;      //   "保留空格": ASCII spaces
    bool keepLineBreaks = false;  //   "保留换行": line breaks
};

struct PinyinResult {
    std::string text;
    bool stopped = false;  // the stop request ended it early; text holds the lines converted so far
};

// Replaces every GB2312 Chinese character of UTF-8 text by its pinyin (the first reading of the
// pinyin table) and copies every other character. Within a line, a syllable is followed by one
// space unless it ends the line, and preceded by one when the character before it had no pinyin:
// "中国 abc" becomes "Zhong Guo  abc". Line breaks (LF or CR LF) stay as they are.
PinyinResult convertToPinyin(std::string_view text, const PinyinOptions& options,
                             const GeneratorControl& control = {});

}  // namespace oz::tools
