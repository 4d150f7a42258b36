#pragma once

#include <iosfwd>
#include <string>

#include "app/command_line.h"

namespace oz::app {

// What "generate --help" and "pinyin --help" print.
std::string generateUsage();
std::string pinyinUsage();

// "pinyin" converting `in` instead of the standard input (tests).
int pinyinCommandWith(const CommandContext& context, std::istream& in);

}  // namespace oz::app
