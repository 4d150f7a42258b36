#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "backend/backend_family.h"
#include "http/http_requester.h"

// What the back end's answers mean. Every caller that asks whether an action took effect, or why
// it did not, reads the answer here rather than searching it for texts of its own.
namespace oz::backend {

// The texts that say an action took effect are each family's (backend_family.h).

// What an answer says about the action that asked for it.
enum class Outcome {
    Done,     // the page carries the action's success text
    Refused,  // a page of the back end itself without it (a message page, the login page): nothing was done
    NotSent,  // the request never reached the server: nothing was done
    Unknown,  // the request went out and no page of the back end came back: it may have been done
};

struct AnswerReading {
    Outcome outcome = Outcome::Unknown;
    std::string reason;  // why it is not Done, as the log shows it ("你的密码错误!"); empty when Done

    bool done() const { return outcome == Outcome::Done; }
    // Nothing happened on the site, so sending the request again cannot make a second copy.
    bool safeToRepeat() const { return outcome == Outcome::Refused || outcome == Outcome::NotSent; }
};

// The text of the back end's message page (its ShowMsg: the "DedeCMS提示信息" page, DedeBIZ's
// "系统提示"), tags removed and character references decoded; std::nullopt when the page is not one.
// The message is the document.write after the one that opens the message box, in a script the page
// runs (never in a comment, a form field or after the page); a page with two boxes is none.
std::optional<std::string> messagePageText(std::string_view page);

// The message page with the family whose message box it shows.
struct MessagePage {
    const BackendFamily* family = nullptr;
    std::string text;  // as messagePageText
};
std::optional<MessagePage> readMessagePage(std::string_view page);

// "（reason）", or nothing for an empty reason: how a reason follows the text it explains.
std::string reasonInParentheses(std::string_view reason);

// The back end's login form (a page that asks for userid and pwd).
bool isLoginPage(std::string_view page);

// "HTTP 404，后台目录是否正确？", "HTTP 504，网关超时", ...: an error status with what it suggests.
std::string httpStatusReason(long status);

// Reads the answer of an action whose success shows as `successText` in the page.
AnswerReading readActionAnswer(const http::PageAnswer& answer, std::string_view successText);

// The start tag of the anchor that links the stored article ("<a href='...'><u>查看文章</u></a>",
// DedeBIZ's button "浏览文档") as the page shows it: in the success page's link list when
// `inLinkList`, else anywhere the page shows it. std::nullopt when there is none; the same words
// in a comment, the title, a script, a form field, an attribute or after the page are none.
std::optional<std::string> articleLinkTag(std::string_view page, const BackendFamily& family,
                                          bool inLinkList);

// Reads the answer of an article submission: Done when the success page's link list holds the
// link to the stored article (articleLinkTag).
AnswerReading readArticleAnswer(const http::PageAnswer& answer, const BackendFamily& family);

// Reads the login answer of a back end of that family: Done when the message its message page
// shows (messagePageText), unescaped, holds the family's login text ("成功"); the same text
// anywhere else on the page does not count. A refusal is named by the back end's message ("你的密码错误!");
// the verification-code refusal ("验证码不正确!") comes with what the operator can do.
AnswerReading readLoginAnswer(const http::PageAnswer& answer, const BackendFamily& family);

// The login was refused for its user name or password (or their absence): trying again cannot
// succeed, and on DedeBIZ three wrong passwords within a minute bring on the verification code.
bool accountRefused(const AnswerReading& reading, const BackendFamily& family);

// A piece of a page as plain text, as the list reader reads a row's title: tags removed, character
// references decoded, line breaks and tabs as spaces, blanks trimmed.
std::string listedText(std::string_view html);

// One row of the back end's article list (content_list.php).
struct ListedArticle {
    int id = 0;
    int typeId = 0;     // the category the row links to; 0 when it links to none
    std::string title;  // as the list shows it, character references decoded
};

// The rows of an article list page (DedeCMS or DedeBIZ), each read from its edit link
// "archives_do.php?aid=N&dopost=editArchives" and the title that link holds (in "<u>" on
// DedeCMS); std::nullopt when the page is not an article list.
std::optional<std::vector<ListedArticle>> readArticleList(std::string_view page);

// The id in a page's edit link "archives_do.php?aid=N&dopost=editArchives" (the success page of a
// new article carries one); 0 when there is none.
int editedArticleId(std::string_view page);

// Where the back end's article view page (archives_do.php?dopost=viewArchives) sends the browser:
// the article's address from the host root, or a whole URL; empty when the page names none.
std::string viewedArticleAddress(std::string_view page);

}  // namespace oz::backend
