#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "backend/admin_session.h"
#include "backend/article_lookup.h"
#include "backend/backend_context.h"

// A back end is known by what it holds, not by the address a site record types: the cookie key of
// its installation (cfg_cookie_encode on the system settings page), which 5.7, 5.8.1 and DedeBIZ
// all show. It is the site's secret, so only a salted hash of it is kept, never the value.
namespace oz::backend {

struct SystemSettings {
    std::optional<int> titleMaxBytes;  // edit___cfg_title_maxlen
    std::string fingerprint;           // "id:" + the salted hash of edit___cfg_cookie_encode; empty: none
};

// Reads the back end's system settings page (sys_info.php) once: the title length setting and the
// fingerprint of the installation.
SystemSettings readSystemSettings(AdminSession& session, const BackendContext& context);

// The values of both inputs on a settings page; the cookie key is hashed with `salt` at once.
SystemSettings systemSettingsOf(const std::string& page, std::string_view salt);

// The salt of this data folder (made once, kept in the data folder); a salt of the process when
// there is no data folder or it cannot be written.
std::string backEndSalt(const std::filesystem::path& dataDir);

// After a login: names the back end by its fingerprint in `tracking` (the ledger and the journal
// key on it) and keeps its title length setting in the ledger, from one read of the settings page.
// A back end whose page shows no cookie key keeps the address key. Once per record and run.
void identifyBackEnd(AdminSession& session, const BackendContext& context, ArticleTracking& tracking);

}  // namespace oz::backend
