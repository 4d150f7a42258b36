#include "backend/back_end_identity.h"

#include <algorithm>
#include <mutex>
#include <random>

#include "backend/html_elements.h"
#include "config/atomic_file.h"
#include "config/data_folder.h"
#include "text/sha256.h"

namespace oz::backend {
namespace {

constexpr std::size_t kSaltChars = 32;
constexpr std::size_t kFingerprintChars = 32;

std::string randomHex(std::size_t chars) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::random_device device;
    std::string hex;
    for (std::size_t i = 0; i < chars; ++i) hex.push_back(kDigits[device() & 15]);
    return hex;
}

bool isSalt(const std::string& text) {
    return text.size() == kSaltChars && text.find_first_not_of("0123456789abcdef") == std::string::npos;
}

}  // namespace

SystemSettings systemSettingsOf(const std::string& page, std::string_view salt) {
    SystemSettings settings;
    const std::string maxLen =
        elementAttribute(findElement(page, "input", "name", "edit___cfg_title_maxlen"), "value");
    if (!maxLen.empty() && maxLen.size() <= 6 &&
        maxLen.find_first_not_of("0123456789") == std::string::npos) {
        settings.titleMaxBytes = std::stoi(maxLen);
    }
    std::string secret =
        elementAttribute(findElement(page, "input", "name", "edit___cfg_cookie_encode"), "value");
    if (!secret.empty()) {
        std::string salted(salt);
        salted += '\n';
        salted += secret;
        settings.fingerprint = "id:" + text::sha256Hex(salted).substr(0, kFingerprintChars);
        std::fill(salted.begin(), salted.end(), '\0');
        std::fill(secret.begin(), secret.end(), '\0');
    }
    return settings;
}

std::string backEndSalt(const std::filesystem::path& dataDir) {
    static std::mutex mutex;
    static std::string processSalt;
    std::lock_guard lock(mutex);
    if (!dataDir.empty()) {
        const std::filesystem::path path = dataDir / config::kBackEndSaltFile;
        std::string error;
        std::optional<std::string> stored = config::readWholeFile(path, error);
        if (stored) {
            while (!stored->empty() && (stored->back() == '\n' || stored->back() == '\r')) stored->pop_back();
            if (isSalt(*stored)) return *stored;
        }
        std::string salt = randomHex(kSaltChars);
        if (config::replaceFile(path, salt + "\n", error)) return salt;
    }
    if (processSalt.empty()) processSalt = randomHex(kSaltChars);
    return processSalt;
}

SystemSettings readSystemSettings(AdminSession& session, const BackendContext& context) {
    std::string page = getPage(session, context, backEndBaseUrl(session.site) + "/sys_info.php",
                               siteAnswerDecoding(session.site));
    SystemSettings settings = systemSettingsOf(page, backEndSalt(context.dataDir));
    std::fill(page.begin(), page.end(), '\0');  // the page holds the secret
    return settings;
}

void identifyBackEnd(AdminSession& session, const BackendContext& context, ArticleTracking& tracking) {
    if (tracking.identified || context.aborted()) return;
    const SystemSettings settings = readSystemSettings(session, context);
    if (context.aborted()) return;
    tracking.identified = true;
    if (!settings.fingerprint.empty()) tracking.backEnd = settings.fingerprint;
    if (tracking.ledger != nullptr && settings.titleMaxBytes) {
        tracking.ledger->setTitleMaxBytes(tracking.backEnd, *settings.titleMaxBytes);
    }
}

}  // namespace oz::backend
