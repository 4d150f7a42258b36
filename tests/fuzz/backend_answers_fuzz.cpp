// The back end's answers (src/backend/): every reader of an answer page is given the same bytes.
// Input: the answer (any bytes; the requester hands the readers UTF-8 text, and broken bytes must
// not break them either). One function per reader: a new reader is one more function and one more
// line in LLVMFuzzerTestOneInput.

#include <algorithm>
#include <tuple>

#include "backend/answer_reader.h"
#include "backend/answer_text.h"
#include "backend/article_lookup.h"
#include "backend/article_submission.h"
#include "backend/category_tree.h"
#include "backend/html_elements.h"
#include "backend/picture_upload.h"
#include "backend/progress_pages.h"
#include "backend/regeneration.h"
#include "config/site_config.h"
#include "fuzz_support.h"
#include "text/characters.h"
#include "text/charset.h"
#include "text/markers.h"
#include "text/regex_matcher.h"

namespace {

namespace backend = oz::backend;
namespace text = oz::text;

constexpr std::size_t kRegexLimit = 2048;  // the reference pattern is quadratic: short inputs only

bool isPieceOf(std::string_view piece, std::string_view whole) {
    return piece.empty() || whole.find(piece) != std::string_view::npos;
}

// Login answers: the unescaping keeps valid UTF-8 valid and leaves text without escapes alone.
void checkLoginAnswer(std::string_view answer, bool validUtf8) {
    const std::string decoded = backend::decodeAnswerText(answer);
    if (validUtf8) OZ_FUZZ_CHECK(text::isValidUtf8(decoded));
    if (answer.find_first_of("\\&") == std::string_view::npos) OZ_FUZZ_CHECK_EQ(decoded, answer);
}

// The element finder: what it finds is a piece of the page that starts with the element's start
// tag and carries the attribute asked for; children are pieces of their parent, one after another.
void checkElementFinder(std::string_view page) {
    for (const auto& [tag, attribute, value] :
         {std::tuple{"select", "id", "typeid"}, std::tuple{"input", "id", "typedir"}}) {
        const std::string element = backend::findElement(page, tag, attribute, value);
        if (element.empty()) continue;
        OZ_FUZZ_CHECK(isPieceOf(element, page));
        OZ_FUZZ_CHECK(element.front() == '<');
        OZ_FUZZ_CHECK_EQ(backend::elementAttribute(element, attribute), value);
        std::size_t total = 0;
        for (const std::string& child : backend::childElements(element, "option")) {
            OZ_FUZZ_CHECK(!child.empty() && child.front() == '<');
            OZ_FUZZ_CHECK(isPieceOf(child, element));
            total += child.size();
        }
        OZ_FUZZ_CHECK(total <= element.size());
        OZ_FUZZ_CHECK(isPieceOf(backend::elementText(element), element));
    }
}

// The category tree: positive ids, parents before their children one level up, names without the
// depth marks and trimmed.
void checkCategoryTree(std::string_view page, bool validUtf8) {
    const std::vector<backend::CategoryItem> items = backend::parseCategoryTree(page);
    for (std::size_t i = 0; i < items.size(); ++i) {
        const backend::CategoryItem& item = items[i];
        OZ_FUZZ_CHECK(item.id > 0);
        OZ_FUZZ_CHECK(item.depth >= 1);
        // (In broken UTF-8 the bytes around a removed mark can make a new one.)
        OZ_FUZZ_CHECK(!validUtf8 || item.name.find("─") == std::string::npos);
        OZ_FUZZ_CHECK_EQ(text::trimBlanks(item.name), item.name);
        if (item.parent < 0) {
            OZ_FUZZ_CHECK_EQ(item.level, 1);
        } else {
            OZ_FUZZ_CHECK(static_cast<std::size_t>(item.parent) < i);
            const backend::CategoryItem& parent = items[static_cast<std::size_t>(item.parent)];
            OZ_FUZZ_CHECK_EQ(parent.depth, item.depth - 1);
            OZ_FUZZ_CHECK_EQ(item.level, parent.level + 1);
        }
    }
}

// A progress page's continuation link is a piece of the page.
void checkContinuation(const std::string& answer) {
    OZ_FUZZ_CHECK(isPieceOf(backend::continuationLink(answer), answer));
}

// The update-everything page's message: no line breaks, and what the pattern it replaced gave.
void checkOneKeyPage(const std::string& answer, bool validUtf8) {
    const std::string message = backend::oneKeyPageText(answer);
    OZ_FUZZ_CHECK(message.find_first_of("\r\n") == std::string::npos);
    if (validUtf8 && answer.size() <= kRegexLimit) {
        static const text::RegexMatcher kTagsAndBreaks(R"(<[\s\S]+?>|\r|\n)");
        text::MarkerPosition position;
        const std::size_t box = std::min(answer.find("height:130px"), answer.find("tips-body"));
        if (box != std::string::npos) {
            position.offset = box;
        } else {
            text::textBetween(answer, "document.write(", ")", position);
            text::textBetween(answer, "document.write(", ")", position);
        }
        const std::string raw = text::textBetween(answer, "document.write(''", "'')", position);
        OZ_FUZZ_CHECK_EQ(message, kTagsAndBreaks.replace(raw, ""));
    }
}

// The success page of a new article: its address is on the site's host, or the whole URL the page
// links to.
void checkArticleAddress(const std::string& answer) {
    oz::config::SiteConfig site;
    site.domain = "www.example.com/cms";
    for (const backend::BackendFamily* family : backend::kFamilies) {
        const std::string address = backend::articleAddress(site, answer, *family);
        OZ_FUZZ_CHECK(address.empty() || address.starts_with("http://www.example.com") ||
                      isPieceOf(address, answer));
        if (answer.find(family->articleLink) == std::string::npos) OZ_FUZZ_CHECK(address.empty());
    }
}

// The answer reader: a page holding the success text is done and nothing else is; a refusal is
// only ever the back end's own page, and every other verdict gives a reason. List rows carry
// positive ids; the ids of the edit and view links are read from the page itself.
void checkAnswerReader(const std::string& answer, bool validUtf8) {
    for (const long status : {200L, 302L, 504L}) {
        oz::http::PageAnswer page;
        page.ok = true;
        page.status = status;
        page.text = answer;
        const std::string_view created = backend::kDedeCms.categoryCreated;
        const backend::AnswerReading reading = backend::readActionAnswer(page, created);
        OZ_FUZZ_CHECK_EQ(reading.done(), answer.find(created) != std::string::npos);
        OZ_FUZZ_CHECK(reading.done() == reading.reason.empty());
        OZ_FUZZ_CHECK(reading.outcome != backend::Outcome::NotSent);
        if (reading.outcome == backend::Outcome::Refused && status == 200) {
            OZ_FUZZ_CHECK(backend::messagePageText(answer) || backend::isLoginPage(answer));
        }
        if (validUtf8) OZ_FUZZ_CHECK(text::isValidUtf8(reading.reason));
    }
    if (const auto rows = backend::readArticleList(answer)) {
        for (const backend::ListedArticle& row : *rows) {
            OZ_FUZZ_CHECK(row.id > 0);
            OZ_FUZZ_CHECK(row.typeId >= 0);
            if (validUtf8) OZ_FUZZ_CHECK(text::isValidUtf8(row.title));
        }
    }
    OZ_FUZZ_CHECK(backend::editedArticleId(answer) >= 0);
    OZ_FUZZ_CHECK(isPieceOf(backend::viewedArticleAddress(answer), answer));
    for (const bool gbk : {false, true}) {
        const backend::TitleRules rules{.gbk = gbk};
        const std::string stored = backend::storedTitle(answer, rules);
        OZ_FUZZ_CHECK(stored.find_first_of("<>\"'") == std::string::npos);
        const std::string keyword = backend::storedTitleKeyword(stored);
        OZ_FUZZ_CHECK(keyword.find('\\') == std::string::npos);
        if (validUtf8) {
            OZ_FUZZ_CHECK(text::isValidUtf8(stored) && text::isValidUtf8(keyword));
            for (const std::string& form : backend::listedTitleForms(stored, rules)) {
                OZ_FUZZ_CHECK(text::isValidUtf8(form));
            }
        }
    }
}

}  // namespace

// The upload page's answer: a stored picture has an address; a refusal has a reason, kept valid
// UTF-8 (the \\u escapes of DedeBIZ's JSON are decoded).
void checkUploadAnswer(std::string_view page, bool validUtf8) {
    oz::http::PageAnswer answer;
    answer.ok = true;
    answer.status = 200;
    answer.text = std::string(page);
    for (const backend::BackendFamily* family : backend::kFamilies) {
        const backend::UploadReading read = backend::readUploadAnswer(answer);
        if (read.reading.done()) OZ_FUZZ_CHECK(!read.address.empty());
        if (validUtf8)
            OZ_FUZZ_CHECK(text::isValidUtf8(backend::uploadRefusalReason(read.reading.reason, *family)));
    }
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string answer(oz::fuzz::asText(data, size));
    const bool validUtf8 = text::isValidUtf8(answer);
    checkLoginAnswer(answer, validUtf8);
    checkUploadAnswer(answer, validUtf8);
    checkElementFinder(answer);
    checkCategoryTree(answer, validUtf8);
    checkContinuation(answer);
    checkOneKeyPage(answer, validUtf8);
    checkArticleAddress(answer);
    checkAnswerReader(answer, validUtf8);
    return 0;
}
