#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "backend/admin_session.h"
#include "backend/answer_reader.h"
#include "backend/backend_context.h"
#include "backend/backend_family.h"
#include "content/article_draft.h"
#include "http/http_requester.h"

// The article's local pictures go to the site with it: each is uploaded through the back end's own
// picture upload, the one its editor uses, and the body then points at the stored copies.
namespace oz::backend {

// The stored address of each picture a back end already holds from this run, by back end and by
// the file's bytes, so that a picture used twice, or by two articles, is uploaded once per back
// end. Thread-safe; one per run.
class PictureCache {
   public:
    std::optional<std::string> find(const std::string& key) const;
    void remember(const std::string& key, const std::string& address);

   private:
    mutable std::mutex m_mutex;
    std::unordered_map<std::string, std::string> m_addresses;
};

// The cache key of a picture's bytes on a back end.
std::string pictureKey(std::string_view backEnd, std::string_view bytes);

// What an upload's answer says: Done with the stored address (from the host root, as the back end
// names it: "/uploads/allimg/261210/1-2612101922.png"), Refused with the back end's reason, or
// NotSent/Unknown. `pageMissing` when the page is not there (HTTP 404: another release keeps it
// elsewhere).
struct UploadReading {
    AnswerReading reading;
    std::string address;
    bool pageMissing = false;
};
UploadReading readUploadAnswer(const http::PageAnswer& answer);

// The reason a log line gives for a refusal: "站点不接受此类型" for the back end's type and format
// refusals, "超过站点的上传大小限制" when the file never reached it, "后台登录已失效" when the page
// asked for the back-end folder (no session), else the back end's own text.
std::string uploadRefusalReason(std::string_view refusal, const BackendFamily& family);

struct PictureUploads {
    bool ok = true;
    std::string failure;  // "图片上传失败：pics/x.webp（站点不接受此类型）" when not ok
    int uploaded = 0;     // pictures sent to the site for this article
    int reused = 0;       // pictures the site held already from this run
    std::vector<std::string> addresses;  // the stored copies the body now shows, each once
};

// Uploads the local pictures of the draft's body (content::localPictures, against draft.path) and
// points the body at the stored copies; remote pictures stay as they are. The upload form is sent
// as the editor sends it: multipart/form-data, the file in "imgfile", CKUpload=1, and the watermark
// fields by 图片加水印. An upload whose answer is lost is sent again (up to three times: a second
// copy on the server is harmless); a missing, unreadable or non-picture file, or a refusal, fails
// the whole article before anything of it is posted, and the body is then left as it was.
// `cache` may be null.
PictureUploads uploadPictures(AdminSession& session, const BackendContext& context,
                              content::ArticleDraft& draft, PictureCache* cache);

}  // namespace oz::backend
