#include "content/compose.h"

#include <algorithm>
#include <filesystem>

#include "content/article_source.h"
#include "content/load_text.h"
#include "content/pinyin.h"
#include "content/text_lines.h"
#include "text/characters.h"
#include "text/cleaning.h"
#include "text/markers.h"
#include "text/random.h"

namespace oz::content {

namespace {

int cappedCount(int lo, int hi) { return std::min(text::randomInt(lo, hi), kMaxDrawCount); }

bool isTagNameEnd(char c) {
    return c == '>' || c == '/' || c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f';
}

// True when the text holds a "<body" start tag (not "<bodyfoo").
bool hasBodyStartTag(std::string_view text) {
    constexpr std::string_view kOpen = "<body";
    for (std::size_t at = text::findNoCase(text, kOpen); at != std::string_view::npos;
         at = text::findNoCase(text, kOpen, at + 1)) {
        std::size_t after = at + kOpen.size();
        if (after >= text.size() || isTagNameEnd(text[after])) return true;
    }
    return false;
}

}  // namespace

const std::string& defaultAuthorName() {
    static const std::string name = config::initialSiteConfig().user;
    return name;
}

std::string bodyElement(std::string_view text) {
    if (!hasBodyStartTag(text)) return std::string(text);
    return text::elementContent(text, "body");
}

std::string takeFirstLine(std::string& body) {
    std::size_t pos = 0;
    while (pos < body.size()) {
        std::size_t lf = body.find('\n', pos);
        std::size_t next = lf == std::string::npos ? body.size() : lf + 1;
        std::size_t end = lf == std::string::npos ? body.size() : lf;
        if (lf != std::string::npos && end > pos && body[end - 1] == '\r') --end;
        std::string line = text::trimBlanks(text::withoutControlCharacters(
            text::scanStripTags(std::string_view(body).substr(pos, end - pos))));
        if (!line.empty()) {
            body.erase(0, next);
            return line;
        }
        pos = next;
    }
    body.clear();
    return {};
}

std::string wrapParagraphs(std::string_view body) {
    std::string out;
    out.reserve(body.size() + body.size() / 8);
    for (std::string_view line : text::splitLines(body)) {
        if (line.empty()) continue;
        out.append("<p>").append(line).append("</p>\r\n");
    }
    return out;
}

std::string randomLetters(int n) {
    if (n <= 0) n = 8;
    n = std::min(n, kMaxDrawCount);
    std::string letters;
    letters.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        bool lower = text::randomInt(1, 2) == 1;
        letters.push_back(static_cast<char>(lower ? text::randomInt(97, 122) : text::randomInt(65, 90)));
    }
    return letters;
}

std::string listField(int mode, TextPool& pool, int lo, int hi, const ListFieldSource& source) {
    switch (mode) {
        case kRandomPhrases: {
            if (pool.empty()) return {};
            std::string field;
            int n = cappedCount(lo, hi);
            for (int i = 0; i < n; ++i) {
                if (!field.empty()) field.push_back(',');
                field.append(pool.draw());
            }
            return field;
        }
        case kAutoSegment: {
            int n = cappedCount(lo, hi);
            if (n < 1) n = 5;
            std::string words = firstWords(source.rankedWords, n);
            std::replace(words.begin(), words.end(), ' ', ',');
            return words;
        }
        case kUseTitle:
            return source.title;
        case kFirstLine:
            return source.firstLine;
        default:
            return {};
    }
}

std::optional<CategoryPrefix> splitCategoryPrefix(std::string_view title) {
    std::size_t open = title.find("[#");
    if (open == std::string_view::npos) return std::nullopt;
    std::size_t close = title.find("#]", open + 2);
    if (close == std::string_view::npos || close == open + 2) return std::nullopt;
    return CategoryPrefix{lenientInt(title.substr(open + 2, close - open - 2)),
                          std::string(title.substr(close + 2))};
}

std::string articleFileName(int rule, std::string_view title, int lo, int hi) {
    switch (rule) {
        case kTitleInitials:
            return text::keepWordChars(titleInitials(title));
        case kRandomLetters:
            return randomLetters(text::randomInt(lo, hi));
        default:
            return {};
    }
}

std::string titleOfPath(std::string_view path) {
    std::string title = text::withoutControlCharacters(displayText(titleFromFileName(path)));
    if (title.empty()) title = kUntitled;
    return title;
}

std::optional<ArticleDraft> compose(const config::SiteConfig& site, SitePools& pools, const std::string& path,
                                    const WordSegmenter& segmenter) {
    LoadedText loaded =
        loadTextFile(std::filesystem::path(toLocalPath(path)), encodingCodeFromInt(site.fileEncoding));
    if (loaded.text.empty()) return std::nullopt;
    return composeText(site, pools, path, std::move(loaded.text), segmenter);
}

std::optional<ArticleDraft> composeText(const config::SiteConfig& site, SitePools& pools,
                                        std::string_view path, std::string text,
                                        const WordSegmenter& segmenter) {
    ArticleDraft draft;
    draft.path = std::string(path);
    draft.title = titleOfPath(path);
    draft.body = bodyElement(text);
    text.clear();
    text.shrink_to_fit();
    if (draft.body.empty()) return std::nullopt;

    std::string firstLine;
    if (site.keywordMethod == kFirstLine || site.tagMethod == kFirstLine ||
        site.shortTitleMethod == kFirstLine || site.firstLineTitle) {
        firstLine = takeFirstLine(draft.body);
    }
    if (site.firstLineTitle) draft.title = firstLine;
    if (site.paragraphTags) draft.body = wrapParagraphs(draft.body);

    std::string preparedText;  // the words below point into it
    std::vector<std::string_view> ranking;
    if (site.keywordMethod == kAutoSegment || site.tagMethod == kAutoSegment ||
        site.shortTitleMethod == kAutoSegment) {
        preparedText = WordSegmenter::prepareText(draft.body + draft.title);
        ranking = rankedWords(segmenter.segment(preparedText));
    }

    ListFieldSource source{draft.body, draft.title, firstLine, ranking};
    draft.keywords =
        listField(site.keywordMethod, pools.keywords, site.keywordCountMin, site.keywordCountMax, source);
    draft.tags = listField(site.tagMethod, pools.tags, site.tagCountMin, site.tagCountMax, source);
    draft.shorttitle = listField(site.shortTitleMethod, pools.shortTitles, site.shortTitleCountMin,
                                 site.shortTitleCountMax, source);

    draft.writer = pools.authors.empty() ? defaultAuthorName() : pools.authors.draw();

    if (std::optional<CategoryPrefix> prefix = splitCategoryPrefix(draft.title)) {
        draft.typeId = prefix->typeId;
        draft.title = std::move(prefix->title);
    } else {
        draft.typeId = pools.categories.empty() ? 0 : pools.categories.draw();
    }

    draft.filename =
        articleFileName(site.fileNameRule, draft.title, site.letterCountMin, site.letterCountMax);
    draft.source = site.source;
    return draft;
}

}  // namespace oz::content
