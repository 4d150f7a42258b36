#include "backend/admin_session.h"

#include <algorithm>

#include "backend/answer_reader.h"
#include "backend/backend_family.h"
#include "backend/records.h"
#include "backend/url_encoding.h"
#include "config/proxy_setting.h"

namespace oz::backend {

std::string siteScheme(const config::SiteConfig& site) { return site.https ? "https" : "http"; }

std::string siteHost(const config::SiteConfig& site) {
    std::string host = site.domain;
    if (std::size_t scheme = host.find("//"); scheme != std::string::npos) host.erase(0, scheme + 2);
    if (std::size_t slash = host.find('/'); slash != std::string::npos) host.resize(slash);
    return host;
}

std::string siteOrigin(const config::SiteConfig& site) { return siteScheme(site) + "://" + siteHost(site); }

std::string backEndBaseUrl(const config::SiteConfig& site) {
    return siteScheme(site) + "://" + site.domain + "/" + site.adminDir;
}

std::string installPrefix(const config::SiteConfig& site) {
    std::size_t slash = site.adminDir.find('/');
    return slash == std::string::npos ? std::string() : site.adminDir.substr(0, slash + 1);
}

std::string installUrl(const config::SiteConfig& site, std::string_view path) {
    return siteScheme(site) + "://" + site.domain + "/" + installPrefix(site) + std::string(path);
}

bool isUtf8Site(const config::SiteConfig& site) { return site.charset == 0; }

int siteAnswerDecoding(const config::SiteConfig& site) { return isUtf8Site(site) ? 2 : 1; }

http::PageAnswer requestPage(AdminSession& session, const BackendContext& context, const std::string& url,
                             const std::string& body, int answerDecoding, double timeoutSeconds,
                             bool sendOnce) {
    http::PageRequest request;
    request.url = url;
    request.postText = body;
    request.answerDecoding = answerDecoding;
    request.timeoutSeconds = timeoutSeconds;
    request.sendOnce = sendOnce;
    return sendRequest(session, context, request);
}

http::PageAnswer sendRequest(AdminSession& session, const BackendContext& context,
                             http::PageRequest& request) {
    request.accessMethod = context.options().accessMethod();
    const double cap = context.limits.maxAnswerSeconds;
    const double own = request.timeoutSeconds;
    request.timeoutSeconds = cap <= 0 ? own : own > 0 ? std::min(own, cap) : cap;
    // A pin typed into the settings file by hand reads as the window would have stored it.
    request.pinnedPublicKey = config::normalizePin(session.site.pinnedPublicKey);
    request.siteOrigin = siteOrigin(session.site);
    // Every request of the site goes this way; the requester never falls back to a direct one. A
    // value edited into the file by hand that does not parse sends nothing (the requester's own "-1"
    // would let the environment decide).
    request.proxy = session.site.proxy ? *session.site.proxy : context.options().defaultProxy();
    if (std::string problem = config::proxySettingProblem(request.proxy); !problem.empty()) {
        http::PageAnswer refused;
        refused.failure = http::Failure::ProxyInvalid;
        refused.error = std::move(problem);
        return refused;
    }
    return session.requester.pageRequest(request);
}

std::string getPage(AdminSession& session, const BackendContext& context, const std::string& url,
                    int answerDecoding) {
    return requestPage(session, context, url, {}, answerDecoding).text;
}

std::string postPage(AdminSession& session, const BackendContext& context, const std::string& url,
                     const std::string& body, int answerDecoding, double timeoutSeconds) {
    return requestPage(session, context, url, body, answerDecoding, timeoutSeconds).text;
}

std::string loginBody(const config::SiteConfig& site) {
    bool utf8 = isUtf8Site(site);
    return "userid=" + urlEncode(site.user, utf8) + "&pwd=" + urlEncode(site.password, utf8) +
           "&gotopage=" + urlEncode("/" + site.adminDir + "/index.php", utf8, true) +
           "&dopost=login&adminstyle=newdedecms";
}

bool login(AdminSession& session, const BackendContext& context, std::string* whyFailed,
           bool* accountRefused) {
    const config::SiteConfig& site = session.site;
    const http::PageAnswer folder = requestPage(session, context, backEndBaseUrl(site));
    const BackendFamily* family = &loginPageFamily(folder.text);
    http::PageAnswer form;
    // A host that cannot be reached would only make the other two requests wait as long again.
    if (http::cannotConnect(folder.failure)) {
        form = folder;
    } else {
        requestPage(session, context, captchaImageUrl(site, folder.text, *family));
        form = requestPage(session, context, backEndBaseUrl(site) + "/login.php", loginBody(site),
                           siteAnswerDecoding(site));
        // The answer is the back end's own message page, whatever its login page looks like.
        if (const std::optional<MessagePage> shown = readMessagePage(form.text)) {
            family = shown->family;
        } else if (const BackendFamily* answering = messagePageFamily(form.text)) {
            family = answering;
        }
    }
    rememberFamily(site, *family);
    const AnswerReading reading = readLoginAnswer(form, *family);
    const bool success = reading.done();
    if (whyFailed != nullptr) *whyFailed = reading.reason;
    if (accountRefused != nullptr) *accountRefused = backend::accountRefused(reading, *family);
    if (!success) context.noteWriteFailure(writeLoginFailureRecord(context.dataDir, form.text));
    if (success && family->openAddFormFirst) {
        requestPage(session, context, backEndBaseUrl(site) + "/article_add.php?channelid=1", {},
                    siteAnswerDecoding(site));
    }
    return success;
}

}  // namespace oz::backend
