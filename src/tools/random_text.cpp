#include "tools/random_text.h"

#include <algorithm>
#include <optional>

#include "text/characters.h"
#include "text/random.h"
#include "tools/character_tables_data.h"
#include "tools/traditional_converter.h"

namespace oz::tools {

namespace {

std::vector<std::string_view> splitCharacters(std::string_view text) {
    std::vector<std::string_view> characters;
    for (std::size_t at = 0; at < text.size(); at = text::nextChar(text, at)) {
        characters.push_back(text.substr(at, text::charLength(text, at)));
    }
    return characters;
}

// The longest group the bounds can give.
long long longestGroup(int minLength, int maxLength) {
    const int longest = std::max({minLength, maxLength, 0});
    return longest == 0 ? kDefaultGroupLength : longest;
}

// Why the options cannot be generated, or nothing.
std::optional<std::string> tooMuch(long long groups, int minLength, int maxLength) {
    if (groups > 0 && groups > kMaxGeneratedCharacters / longestGroup(minLength, maxLength)) {
        return "生成组数 × 每组字数最多 " + std::to_string(kMaxGeneratedCharacters) + " 个字";
    }
    return std::nullopt;
}

// Runs `makeGroup` for every group, joining the groups by line breaks, reporting about a hundred
// times and stopping between groups when asked.
template <class MakeGroup>
GeneratedText generateGroups(long long groups, const GeneratorControl& control, MakeGroup makeGroup) {
    GeneratedText result;
    const long long step = std::max<long long>(1, groups / 100);
    for (long long g = 0; g < groups; ++g) {
        if (control.shouldStop()) {
            result.stopped = true;
            break;
        }
        if (g > 0) result.text += '\n';
        result.text += makeGroup();
        ++result.groups;
        if (result.groups % step == 0 && result.groups < groups) control.report(result.groups, groups);
    }
    control.report(result.groups, std::max<long long>(groups, 0));
    return result;
}

char drawCharacter(LetterKind kind) {
    switch (kind) {
        case LetterKind::Digit:
            return static_cast<char>('0' + text::randomInt(0, 9));
        case LetterKind::Lower:
            return static_cast<char>(text::randomInt(97, 122));
        case LetterKind::Upper:
            break;
    }
    return static_cast<char>(text::randomInt(65, 90));
}

}  // namespace

const std::vector<std::string_view>& tableCharacters(CharacterTable table) {
    static const std::vector<std::string_view> mostUsed = splitCharacters(generated::kMostUsedCharacters);
    static const std::vector<std::string_view> common = splitCharacters(generated::kCommonCharacters);
    static const std::vector<std::string_view> secondary = splitCharacters(generated::kSecondaryCharacters);
    switch (table) {
        case CharacterTable::Common:
            return common;
        case CharacterTable::Secondary:
            return secondary;
        case CharacterTable::MostUsed:
            break;
    }
    return mostUsed;
}

int drawGroupLength(int minLength, int maxLength) {
    const int length = text::randomInt(minLength, maxLength);
    return length <= 0 ? kDefaultGroupLength : length;
}

GeneratedText generateChinese(const ChineseTextOptions& options, const GeneratorControl& control) {
    if (auto problem = tooMuch(options.groups, options.minLength, options.maxLength)) {
        GeneratedText refused;
        refused.error = *problem;
        return refused;
    }
    std::optional<TraditionalConverter> converter;
    if (options.traditional) {
        converter.emplace();
        if (!converter->isReady()) {
            GeneratedText refused;
            refused.error = converter->error();
            return refused;
        }
    }
    const std::vector<std::string_view>& characters = tableCharacters(options.table);
    const int last = static_cast<int>(characters.size()) - 1;
    std::string group;
    return generateGroups(options.groups, control, [&]() -> std::string {
        group.clear();
        for (int n = drawGroupLength(options.minLength, options.maxLength); n > 0; --n) {
            group += characters[static_cast<std::size_t>(text::randomInt(0, last))];
        }
        return converter ? converter->convert(group) : group;
    });
}

GeneratedText generateLetters(const LetterTextOptions& options, const GeneratorControl& control) {
    if (auto problem = tooMuch(options.groups, options.minLength, options.maxLength)) {
        GeneratedText refused;
        refused.error = *problem;
        return refused;
    }
    std::string group;
    return generateGroups(options.groups, control, [&]() -> std::string {
        group.clear();
        for (int n = drawGroupLength(options.minLength, options.maxLength); n > 0; --n) {
            group += drawCharacter(drawLetterKind(options.digits, options.lower, options.upper));
        }
        return options.fullWidth ? toFullWidth(group) : group;
    });
}

LetterKind drawLetterKind(bool digits, bool lower, bool upper) {
    if (!digits && !lower) return LetterKind::Upper;
    if (!digits && !upper) return LetterKind::Lower;
    if (!lower && !upper) return LetterKind::Digit;
    if (!digits) return text::randomInt(0, 1) == 0 ? LetterKind::Lower : LetterKind::Upper;
    if (!lower) return text::randomInt(0, 1) == 0 ? LetterKind::Digit : LetterKind::Upper;
    if (!upper) return text::randomInt(0, 1) == 0 ? LetterKind::Digit : LetterKind::Lower;
    const int pick = text::randomInt(0, 2);
    return pick == 0 ? LetterKind::Digit : pick == 1 ? LetterKind::Lower : LetterKind::Upper;
}

std::string toFullWidth(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (char c : text) {
        if (c == ' ') {
            out += "\u3000";
        } else if (c >= '!' && c <= '~') {
            text::appendCodePoint(out, static_cast<char32_t>(0xFF01 + (c - '!')));
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace oz::tools
