#pragma once

#include <string>

#include "backend/admin_session.h"
#include "backend/backend_context.h"

namespace oz::backend {

// `followProgressPages`: requests a chain of the back end's progress pages, each continuing the
// job through a link whose text begins "如果你的浏览器没反应" (DedeBIZ: "点击反应"), until a page carries no
// such link. An absolute url is used as it is, one beginning with "/" from the site host's root, any other
// relative to the back-end folder; every continuation link is taken relative to the folder. So any
// other answer (the end page, a login page, an error page, a failed request) ends the chain. With a
// label, logs "开始" + label before and "结束" + label after, unless the abort flag cut the chain
// off. The chain also ends after context.limits.progressPages pages or when the context's abort
// flag is set. Returns the number of pages requested.
int followProgressPages(AdminSession& session, const BackendContext& context, std::string url, int siteIndex,
                        const std::string& label);

// The href of a progress page's continuation link (relative to the back-end folder); empty when
// none.
std::string continuationLink(const std::string& answer);

}  // namespace oz::backend
