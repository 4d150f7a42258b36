#pragma once

#include <iosfwd>

#include "app/command_line.h"

namespace oz::app {

// "pinyin" converting `in` instead of the standard input (tests).
int pinyinCommandWith(const CommandContext& context, std::istream& in);

}  // namespace oz::app
