#include "app/generator_commands.h"

#include <charconv>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "app/headless_run.h"
#include "text/charset.h"
#include "tools/pinyin_converter.h"
#include "tools/random_text.h"

namespace oz::app {

namespace {

constexpr const char* kGenerateUsage =
    "用法：orvane-zentrel generate chinese|digits [--table common|general|secondary] [--length A-B]\n"
    "                                         [--groups N] [--digits] [--lower] [--upper]\n"
    "                                         [--full-width] [--traditional]\n"
    "\n"
    "Prints random groups, one per line.\n"
    "  chinese          groups of Chinese characters drawn from --table:\n"
    "                   common (最常用, 498, default), general (一般常用, 2,500), secondary (次要常用, "
    "1,000)\n"
    "  digits           groups of digits and letters: --digits (有数字), --lower (有小字母), --upper\n"
    "                   (有大字母); with none of them every character is an upper-case letter\n"
    "  --length A-B     characters per group, drawn from A to B (default 3-5; 0-0 gives 8)\n"
    "  --groups N       number of groups (default 100)\n"
    "  --full-width     digits and letters in their full-width forms (digits only)\n"
    "  --traditional    traditional characters (chinese only)\n"
    "Ctrl+C stops and prints the groups made so far.\n";

constexpr const char* kPinyinUsage =
    "用法：orvane-zentrel pinyin [--mode 1|2|3|4] [--initials] [--letters-only [--keep-spaces] "
    "[--keep-lines]]\n"
    "\n"
    "Reads Chinese text (UTF-8 or GBK) from standard input and writes its pinyin to standard output.\n"
    "  --mode M         1 首字母大写 (the first syllable capitalised), 2 拼音首大写 (every syllable,\n"
    "                   default), 3 全部大写, 4 全部小写\n"
    "  --initials       首拼模式: the first letter of each syllable only\n"
    "  --letters-only   清除非字母: keep ASCII letters only, and with it\n"
    "  --keep-spaces    保留空格: spaces, and\n"
    "  --keep-lines     保留换行: line breaks\n";

bool isHelp(const std::string& arg) { return arg == "--help" || arg == "-h"; }

std::optional<long long> parseCount(std::string_view text) {
    long long value = 0;
    auto [end, problem] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || problem != std::errc() || end != text.data() + text.size() || value < 0) {
        return std::nullopt;
    }
    return value;
}

// "A-B" or "A", each a whole number from 0 on.
bool parseLength(std::string_view text, int& minLength, int& maxLength) {
    const std::size_t dash = text.find('-');
    const std::optional<long long> low = parseCount(text.substr(0, dash));
    const std::optional<long long> high =
        dash == std::string_view::npos ? low : parseCount(text.substr(dash + 1));
    constexpr long long kLimit = 1'000'000;
    if (!low || !high || *low > kLimit || *high > kLimit) return false;
    minLength = static_cast<int>(*low);
    maxLength = static_cast<int>(*high);
    return true;
}

// Walks "--name VALUE" / "--name=VALUE" options and bare flags.
class Arguments {
   public:
    explicit Arguments(const std::vector<std::string>& args, std::size_t from) : m_args(args), m_at(from) {}
    bool done() const { return m_at >= m_args.size(); }
    const std::string& current() const { return m_args[m_at]; }
    bool flag(std::string_view name) {
        if (current() != name) return false;
        ++m_at;
        return true;
    }
    // True when the current argument is option `name`; `value` gets its value (nullopt if missing).
    bool option(std::string_view name, std::optional<std::string>& value) {
        const std::string& arg = current();
        if (arg == name) {
            value = m_at + 1 < m_args.size() ? std::optional<std::string>(m_args[m_at + 1]) : std::nullopt;
            m_at += 2;
            return true;
        }
        if (arg.size() > name.size() && arg.compare(0, name.size(), name) == 0 && arg[name.size()] == '=') {
            value = arg.substr(name.size() + 1);
            ++m_at;
            return true;
        }
        return false;
    }

   private:
    const std::vector<std::string>& m_args;
    std::size_t m_at;
};

int usageError(std::ostream& err, const std::string& message, const char* usage) {
    err << message << "\n" << usage;
    return 2;
}

int printGenerated(const CommandContext& context, const tools::GeneratedText& generated) {
    if (!generated.error.empty()) {
        context.err << generated.error << "\n";
        return 1;
    }
    if (!generated.text.empty()) context.out << generated.text << "\n";
    if (generated.stopped) context.err << "已停止：生成了 " << generated.groups << " 组\n";
    return 0;
}

}  // namespace

std::string generateUsage() { return kGenerateUsage; }
std::string pinyinUsage() { return kPinyinUsage; }

int generateCommand(const CommandContext& context) {
    const std::vector<std::string>& args = context.args;
    for (const std::string& arg : args) {
        if (isHelp(arg)) {
            context.out << kGenerateUsage;
            return 0;
        }
    }
    if (args.empty() || (args[0] != "chinese" && args[0] != "digits")) {
        return usageError(context.err, args.empty() ? "缺少 chinese 或 digits" : "未知类型：" + args[0],
                          kGenerateUsage);
    }
    const bool chinese = args[0] == "chinese";
    tools::ChineseTextOptions chineseOptions;
    tools::LetterTextOptions letterOptions;
    int minLength = 3;
    int maxLength = 5;
    long long groups = 100;
    for (Arguments at(args, 1); !at.done();) {
        const std::string arg = at.current();
        std::optional<std::string> value;
        if (at.option("--table", value)) {
            if (!chinese) return usageError(context.err, "--table 只用于 chinese", kGenerateUsage);
            if (value == "common") {
                chineseOptions.table = tools::CharacterTable::MostUsed;
            } else if (value == "general") {
                chineseOptions.table = tools::CharacterTable::Common;
            } else if (value == "secondary") {
                chineseOptions.table = tools::CharacterTable::Secondary;
            } else {
                return usageError(context.err, "--table 应为 common、general 或 secondary", kGenerateUsage);
            }
        } else if (at.option("--length", value)) {
            if (!value || !parseLength(*value, minLength, maxLength)) {
                return usageError(context.err, "--length 应为 A-B（0 到 1000000 的整数）", kGenerateUsage);
            }
        } else if (at.option("--groups", value)) {
            const std::optional<long long> count = value ? parseCount(*value) : std::nullopt;
            if (!count) return usageError(context.err, "--groups 应为不小于 0 的整数", kGenerateUsage);
            groups = *count;
        } else if (at.flag("--traditional")) {
            if (!chinese) return usageError(context.err, "--traditional 只用于 chinese", kGenerateUsage);
            chineseOptions.traditional = true;
        } else if (at.flag("--digits") || at.flag("--lower") || at.flag("--upper") ||
                   at.flag("--full-width")) {
            if (chinese) return usageError(context.err, arg + " 只用于 digits", kGenerateUsage);
            letterOptions.digits |= arg == "--digits";
            letterOptions.lower |= arg == "--lower";
            letterOptions.upper |= arg == "--upper";
            letterOptions.fullWidth |= arg == "--full-width";
        } else {
            return usageError(context.err, "未知参数：" + arg, kGenerateUsage);
        }
    }

    SignalCounter interrupts;
    tools::GeneratorControl control;
    control.stopRequested = [&interrupts] { return interrupts.count() > 0; };
    if (chinese) {
        chineseOptions.minLength = minLength;
        chineseOptions.maxLength = maxLength;
        chineseOptions.groups = groups;
        return printGenerated(context, tools::generateChinese(chineseOptions, control));
    }
    letterOptions.minLength = minLength;
    letterOptions.maxLength = maxLength;
    letterOptions.groups = groups;
    return printGenerated(context, tools::generateLetters(letterOptions, control));
}

int pinyinCommandWith(const CommandContext& context, std::istream& in) {
    tools::PinyinOptions options;
    bool keepOption = false;
    for (Arguments at(context.args, 0); !at.done();) {
        const std::string arg = at.current();
        std::optional<std::string> value;
        if (isHelp(arg)) {
            context.out << kPinyinUsage;
            return 0;
        }
        if (at.option("--mode", value)) {
            if (value != "1" && value != "2" && value != "3" && value != "4") {
                return usageError(context.err, "--mode 应为 1、2、3 或 4", kPinyinUsage);
            }
            options.letterCase = static_cast<tools::PinyinCase>((*value)[0] - '0');
        } else if (at.flag("--initials")) {
            options.initials = true;
        } else if (at.flag("--letters-only")) {
            options.lettersOnly = true;
        } else if (at.flag("--keep-spaces")) {
            options.keepSpaces = keepOption = true;
        } else if (at.flag("--keep-lines")) {
            options.keepLineBreaks = keepOption = true;
        } else {
            return usageError(context.err, "未知参数：" + arg, kPinyinUsage);
        }
    }
    if (keepOption && !options.lettersOnly) {
        return usageError(context.err, "--keep-spaces 和 --keep-lines 只与 --letters-only 一起用",
                          kPinyinUsage);
    }

    const std::string input = text::utf8OrGbkText(
        std::string{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()});
    context.out << tools::convertToPinyin(input, options).text;
    return 0;
}

int pinyinCommand(const CommandContext& context) { return pinyinCommandWith(context, std::cin); }

}  // namespace oz::app
