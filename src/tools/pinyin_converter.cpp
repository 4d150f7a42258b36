#include "tools/pinyin_converter.h"

#include <algorithm>

#include "content/pinyin.h"
#include "text/characters.h"

namespace oz::tools {

namespace {

constexpr char kSeparator = ' ';
constexpr std::size_t kMinReportStep = 4096;  // bytes of input

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool isAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

std::string lettersOnly(std::string_view text, const PinyinOptions& options) {
    std::string kept;
    kept.reserve(text.size());
    for (char c : text) {
        if (isAsciiLetter(c) || (options.keepSpaces && c == ' ') ||
            (options.keepLineBreaks && (c == '\r' || c == '\n'))) {
            kept += c;
        }
    }
    return kept;
}

class LineConverter {
   public:
    explicit LineConverter(const PinyinOptions& options) : m_options(options) {}

    void convert(std::string_view line, std::string& out) {
        bool previousHadPinyin = true;
        for (std::size_t at = 0; at < line.size();) {
            const std::size_t length = text::charLength(line, at);
            const std::string_view pinyin = content::pinyinOf(text::codePointAt(line, at));
            if (pinyin.empty()) {
                out.append(line.substr(at, length));
                previousHadPinyin = false;
            } else {
                if (!previousHadPinyin && at > 0) out += kSeparator;
                appendSyllable(pinyin, out);
                if (at + length < line.size()) out += kSeparator;
                previousHadPinyin = true;
            }
            at += length;
        }
    }

   private:
    void appendSyllable(std::string_view pinyin, std::string& out) {
        std::string syllable(pinyin);
        switch (m_options.letterCase) {
            case PinyinCase::FirstOfText:
                if (!m_capitalised) syllable[0] = upper(syllable[0]);
                break;
            case PinyinCase::EverySyllable:
                syllable[0] = upper(syllable[0]);
                break;
            case PinyinCase::Upper:
                std::transform(syllable.begin(), syllable.end(), syllable.begin(), upper);
                break;
            case PinyinCase::Lower:
                break;
        }
        m_capitalised = true;
        if (m_options.initials) syllable.resize(1);
        out += syllable;
    }

    const PinyinOptions& m_options;
    bool m_capitalised = false;  // the text's first syllable has been written
};

}  // namespace

PinyinResult convertToPinyin(std::string_view text, const PinyinOptions& options,
                             const GeneratorControl& control) {
    PinyinResult result;
    result.text.reserve(text.size() * 2);
    LineConverter converter(options);
    const long long total = static_cast<long long>(text.size());
    const std::size_t step = std::max<std::size_t>(kMinReportStep, text.size() / 100);
    std::size_t reported = 0;
    for (std::size_t start = 0; start < text.size();) {
        if (control.shouldStop()) {
            result.stopped = true;
            break;
        }
        std::size_t end = text.find('\n', start);
        std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
        if (end == std::string_view::npos) end = text.size();
        if (end > start && text[end - 1] == '\r' && end < text.size()) --end;
        converter.convert(text.substr(start, end - start), result.text);
        result.text.append(text.substr(end, next - end));
        start = next;
        if (start - reported >= step && start < text.size()) {
            reported = start;
            control.report(static_cast<long long>(start), total);
        }
    }
    control.report(result.stopped ? static_cast<long long>(reported) : total, total);
    if (options.lettersOnly) result.text = lettersOnly(result.text, options);
    return result;
}

}  // namespace oz::tools
