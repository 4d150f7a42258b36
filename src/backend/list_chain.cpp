#include "backend/list_chain.h"

#include <algorithm>
#include <vector>

#include "backend/answer_reader.h"
#include "backend/progress_pages.h"
#include "content/text_lines.h"
#include "text/markers.h"

namespace oz::backend {
namespace {

// The value of a query parameter of a url ("" when absent).
std::string queryValue(const std::string& url, std::string_view name) {
    const std::size_t question = url.find('?');
    if (question == std::string::npos) return {};
    std::size_t at = question + 1;
    while (at < url.size()) {
        std::size_t end = url.find('&', at);
        if (end == std::string::npos) end = url.size();
        const std::string_view pair = std::string_view(url).substr(at, end - at);
        if (pair.size() > name.size() && pair.starts_with(name) && pair[name.size()] == '=') {
            return std::string(pair.substr(name.size() + 1));
        }
        at = end + 1;
    }
    return {};
}

int firstListPageOf(const std::string& url) {
    return std::max(1, content::lenientInt(queryValue(url, "mkpage")));
}

// Where a request of the chain stands: the category's place in the action's list (pageno) and the
// first list page of its chunk (mkpage).
struct ChainPlace {
    int category = 0;
    int listPage = 1;
};

ChainPlace placeOf(const std::string& url) {
    return {std::max(0, content::lenientInt(queryValue(url, "pageno"))), firstListPageOf(url)};
}

// The back end's continuation always moves on: to the next chunk of the same category, or to the
// first chunk of the next one. Anything else (the same page again, a step back, a jump) would make
// pages it made already, or never end.
bool movesOn(const ChainPlace& from, const ChainPlace& to, bool nextChunk) {
    if (nextChunk) return to.category == from.category && to.listPage > from.listPage;
    return to.category == from.category + 1 && to.listPage == 1;
}

bool listFinished(const std::string& answer, const BackendFamily& family) {
    for (std::string_view done : family.listDone) {
        if (!done.empty() && answer.find(done) != std::string::npos) return true;
    }
    return false;
}

// The href of the end answer's link to the list it made: the last href before the link text.
std::string madeListLink(const std::string& answer) {
    for (std::string_view linkText : {"浏览栏目</a>", "点击浏览</a>"}) {
        const std::size_t text = answer.find(linkText);
        if (text == std::string::npos) continue;
        for (std::string_view quote : {"href='", "href=\""}) {
            const std::size_t href = answer.rfind(quote, text);
            if (href == std::string::npos) continue;
            const std::size_t start = href + quote.size();
            const std::size_t end = answer.find_first_of("'\"", start);
            if (end != std::string::npos && end < text) return answer.substr(start, end - start);
        }
    }
    return {};
}

}  // namespace

ListAnswer readListAnswer(const std::string& answer, const BackendFamily& family) {
    ListAnswer reading;
    if (listFinished(answer, family)) {
        reading.kind = ListAnswer::Kind::Finished;
        return reading;
    }
    reading.next = continuationLink(answer);
    if (reading.next.empty() || reading.next.find("makehtml_list_action.php") == std::string::npos) {
        reading.next.clear();
        return reading;
    }
    reading.kind = ListAnswer::Kind::GoesOn;
    if (!queryValue(reading.next, "mkpage").empty()) reading.nextListPage = firstListPageOf(reading.next);
    return reading;
}

ListChainResult followListChain(AdminSession& session, const BackendContext& context,
                                const std::string& firstUrl, const ListChainOptions& options,
                                const std::function<void(const ListStep&)>& onStep) {
    const BackendFamily& family = familyOf(session);
    const std::string folderUrl = backEndBaseUrl(session.site) + "/";
    ListChainResult result;
    std::string url = firstUrl;
    int decoding = options.firstAnswerDecoding;
    std::string unfinished;         // the category whose chunks are under way
    std::vector<std::string> made;  // the categories made whole
    while (result.requests < options.maxRequests && !context.aborted()) {
        http::PageAnswer answer;
        ListAnswer reading;
        for (int attempt = 1;
             attempt <= std::max(1, options.attempts) && result.requests < options.maxRequests; ++attempt) {
            answer = requestPage(session, context, folderUrl + url, {}, decoding);
            ++result.requests;
            if (context.aborted()) return result;
            // An error status is a failed request, whatever its page says.
            reading = answer.ok && answer.status < 400 ? readListAnswer(answer.text, family) : ListAnswer{};
            if (reading.kind != ListAnswer::Kind::Stray) break;
        }
        if (reading.kind == ListAnswer::Kind::Stray) {
            result.failure = readActionAnswer(answer, {}).reason;
            return result;
        }
        if (reading.kind == ListAnswer::Kind::GoesOn &&
            !movesOn(placeOf(url), placeOf(reading.next), reading.nextListPage != 0)) {
            result.failure = "后台的继续链接没有向前推进（" + reading.next + "）";
            return result;
        }
        ListStep step;
        step.category = text::textBetween(answer.text, family.listWorkStart, family.listMadeEnd);
        // The end text names no category: it is the one whose chunks were under way.
        if (step.category.empty()) step.category = unfinished;
        if (!step.category.empty() && std::find(made.begin(), made.end(), step.category) != made.end()) {
            result.failure = "后台再次生成了已经生成的栏目 " + step.category;
            return result;
        }
        step.firstPage = firstListPageOf(url);
        step.categoryDone = reading.nextListPage == 0;
        if (!step.categoryDone) step.lastPage = reading.nextListPage - 1;
        unfinished = step.categoryDone ? std::string() : step.category;
        if (step.categoryDone && !step.category.empty()) made.push_back(step.category);
        if (reading.kind == ListAnswer::Kind::Finished) step.address = madeListLink(answer.text);
        if (onStep) onStep(step);
        if (reading.kind == ListAnswer::Kind::Finished || options.firstStepOnly ||
            (options.firstCategoryOnly && step.categoryDone)) {
            result.complete = true;
            return result;
        }
        url = reading.next;
        decoding = http::kDecodeAuto;
    }
    if (!context.aborted()) result.failure = "进度页过多，已停止跟随";
    return result;
}

}  // namespace oz::backend
