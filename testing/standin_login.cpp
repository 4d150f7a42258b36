// The stand-in's sessions and its login page (login.php): the session cookies a first request
// gets, the redirect of a request without a logged-in session, and the login with its refusals.

#include <algorithm>
#include <chrono>
#include <ctime>
#include <random>

#include "testing/standin_site.h"
#include "testing/standin_site_common.h"

namespace oz::testing {

namespace {

// The window in which wrong passwords count towards StandinFamily::captchaAfterWrongPasswords.
constexpr auto kCaptchaWindow = std::chrono::seconds(60);

}  // namespace

std::string SiteBackEnd::newSessionId() {
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuv";
    static thread_local std::mt19937_64 random{std::random_device{}()};
    std::string id;
    unsigned long long value = random() ^ (++m_sessionCounter * 0x9E3779B97F4A7C15ULL);
    for (int i = 0; i < 26; ++i) {
        if (i == 12) value = random();
        id += kDigits[value & 31];
        value >>= 5;
    }
    return id;
}

SiteBackEnd::Session* SiteBackEnd::session(Context& context) {
    if (context.sessionId.empty()) context.sessionId = cookieValue(context.request.cookies, "PHPSESSID");
    if (context.sessionId.empty()) return nullptr;
    const auto found = m_sessions.find(context.sessionId);
    return found == m_sessions.end() ? nullptr : &found->second;
}

SiteBackEnd::Session& SiteBackEnd::openSession(Context& context) {
    if (Session* known = session(context)) return *known;
    context.sessionId = newSessionId();
    const std::string path = m_sitePath + "/";
    context.setCookies.emplace_back("Set-Cookie", "PHPSESSID=" + context.sessionId + "; path=" + path);
    context.setCookies.emplace_back(
        "Set-Cookie", "_csrf_name_1972fce1=" + newSessionId().substr(0, 24) + "; Max-Age=7200; path=" + path);
    context.setCookies.emplace_back("Set-Cookie", std::string("_csrf_name_1972fce1") + kDedeIdSalt + "=" +
                                                      newSessionId().substr(0, 16) +
                                                      "; Max-Age=7200; path=" + path);
    return m_sessions[context.sessionId];
}

SiteAnswer SiteBackEnd::redirectToLogin(Context& context) {
    openSession(context);
    SiteAnswer answer = page("");
    answer.status = 302;
    answer.contentType = "text/html; charset=utf-8";
    answer.headers.emplace_back("location", "login.php?gotopage=" + phpUrlEncode(context.request.target));
    return answer;
}

SiteAnswer SiteBackEnd::loginPage(Context& context) {
    if (context.request.method == "POST") return login(context);
    openSession(context);
    return page(m_family.loginPage(charsetLabel(), context.fields.get("gotopage"),
                                   "../" + std::string(m_family.captchaImage)));
}

SiteAnswer SiteBackEnd::login(Context& context) {
    const std::string_view captchaRefused = m_family.captchaRefused;
    Session* current = session(context);
    // A login without the session the form opened has no verification code to compare with.
    if (!current) {
        openSession(context);
        return message(captchaRefused, "login.php");
    }
    const std::string user = context.fields.get("userid");
    LoginErrors& errors = m_loginErrors[user];
    const auto now = std::chrono::steady_clock::now();
    const int errorsAllowed = m_family.captchaAfterWrongPasswords;
    const bool captchaAsked = m_faults.loginCaptcha || (errorsAllowed > 0 && errors.count >= errorsAllowed &&
                                                        now - errors.last < kCaptchaWindow);
    if (captchaAsked && context.fields.get("validate").empty()) return message(captchaRefused, "login.php");
    const auto account = std::find_if(m_accounts.begin(), m_accounts.end(),
                                      [&user](const auto& known) { return known.first == user; });
    if (account == m_accounts.end()) return message(m_family.unknownUser, "login.php");
    if (m_faults.refuseLogin || context.fields.get("pwd") != account->second) {
        ++errors.count;
        errors.last = now;
        return message(m_family.wrongPassword, "login.php");
    }
    errors.count = 0;

    current->loggedIn = true;
    current->user = user;
    current->articles = 0;
    ++m_loginCount;
    const std::string path = "; Max-Age=86400; path=" + m_sitePath + "/";
    context.setCookies.emplace_back("Set-Cookie", "DedeUserID=1" + path);
    context.setCookies.emplace_back("Set-Cookie",
                                    std::string("DedeUserID") + kDedeIdSalt + "=a8bff47a47734958" + path);
    context.setCookies.emplace_back("Set-Cookie",
                                    "DedeLoginTime=" + std::to_string(std::time(nullptr)) + path);
    std::string gotoPage = context.fields.get("gotopage");
    if (gotoPage.empty()) gotoPage = m_sitePath + "/" + m_adminDir + "/index.php";
    return successMessage(m_family.loginDone, gotoPage);
}

}  // namespace oz::testing
