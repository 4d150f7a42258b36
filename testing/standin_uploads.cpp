// The editor's picture upload of the stand-in (dialog/select_images_post.php), as each release's
// PHP does it: the upload filter of include/uploadsafe.inc.php first, then the page itself.

#include <ctime>
#include <string_view>

#include "testing/standin_site.h"
#include "text/characters.h"

namespace oz::testing {

namespace {

// What PHP's getimagesize recognises among the pictures tests send.
bool isPicture(std::string_view bytes) {
    return bytes.starts_with("\x89PNG\r\n\x1a\n") || bytes.starts_with("\xff\xd8\xff") ||
           bytes.starts_with("GIF87a") || bytes.starts_with("GIF89a") ||
           (bytes.size() >= 12 && bytes.starts_with("RIFF") && bytes.substr(8, 4) == "WEBP") ||
           (bytes.size() >= 26 && bytes.starts_with("BM"));
}

std::string extensionOf(std::string_view name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot + 1));
}

bool inList(std::string_view item, std::initializer_list<std::string_view> list, bool ignoreCase) {
    for (std::string_view entry : list) {
        if (ignoreCase ? oz::text::equalsNoCase(item, entry) : item == entry) return true;
    }
    return false;
}

std::string jsonEscaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '/' || c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out;
}

}  // namespace

SiteAnswer SiteBackEnd::pictureUpload(Context& context) {
    const bool release57 = m_release == StandinRelease::DedeCms57;
    const bool release58 = m_release == StandinRelease::DedeCms58;
    const Session* current = session(context);
    if (release57 && (current == nullptr || !current->loggedIn)) {
        // include/dialog/config.php asks for the back-end folder.
        return message(
            "<b>提示：需输入后台管理目录才能登录</b><br /><form>请输入后台管理目录名：<input type='text' "
            "name='adminDirHand' value='dede' /></form>",
            "javascript:;");
    }
    auto refuse = [&](const std::string& text) {
        if (dedeBiz()) {
            SiteAnswer answer =
                page("{\"uploaded\":0,\"error\":{\"message\":\"" + jsonEscaped(text) + "\"}}");
            return answer;
        }
        return message(text, "-1");
    };
    const UploadedFile* file = nullptr;
    bool madeImage = false;  // 5.7.88's filter: a JPEG or PNG part made an image before
    for (const UploadedFile& part : context.request.files) {
        if (part.bytes.size() > m_uploadMaxBytes) continue;  // PHP drops it
        const bool pictureType = part.contentType.starts_with("image/");
        const std::string extension = extensionOf(part.fileName);
        if (release57 && (pictureType || inList(extension, {"jpg", "gif", "png"}, true))) {
            if (!isPicture(part.bytes) && part.contentType != "image/webp") {
                SiteAnswer answer = page("Upload filetype not allow !");
                return answer;
            }
            if (part.contentType == "image/jpeg" || part.contentType == "image/png" ||
                inList(extension, {"jpg", "jpeg", "png"}, true)) {
                madeImage = true;
            } else if (!madeImage) {
                return serverError();  // imagedestroy() of an image never made
            }
        }
        if (!release57 && !release58 && pictureType && !isPicture(part.bytes)) {
            return refuse("仅支持媒体文件及应用程序上传");
        }
        if (part.field == "imgfile") file = &part;
    }
    if (file == nullptr) {
        return refuse(dedeBiz() ? "您没有选择上传文件" : "你没有选择上传的文件!");
    }
    const std::string extension = extensionOf(file->fileName);
    if (dedeBiz() ? !inList(extension, {"jpeg", "jpg", "gif", "png", "webp", "bmp"}, true)
                  : !inList(extension, {"jpg", "gif", "png"}, !release57)) {
        if (dedeBiz()) return refuse("您上传的图片类型错误，请修改系统对扩展名配置");
        return refuse(release58 ? "你所上传的图片类型不在许可列表，请修改系统对扩展名限定的配置！"
                                : "你所上传的图片类型不在许可列表，请更改系统对扩展名限定的配置！");
    }
    std::initializer_list<std::string_view> types = {"image/pjpeg", "image/jpeg", "image/gif",
                                                     "image/png",   "image/xpng", "image/wbmp"};
    const bool typeKnown =
        inList(file->contentType, types, true) || (dedeBiz() && file->contentType == "image/webp");
    if (!typeKnown) {
        return refuse(dedeBiz() ? "您上传的图片格式错误，请使用jpg、png、gif、wbmp格式其中一种"
                                : "上传的图片格式错误，请使用JPEG、GIF、PNG、WBMP格式的其中一种！");
    }

    StoredUpload stored;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char day[8];
    std::strftime(day, sizeof day, "%y%m%d", &local);
    const std::string folder = m_sitePath + (dedeBiz() ? "/static/allimg/" : "/uploads/allimg/") + day;
    stored.url = folder + "/1-" + std::to_string(m_uploads.size() + 1) + "." + extension;
    stored.bytes = file->bytes;
    stored.fileName = file->fileName;
    stored.contentType = file->contentType;
    // PHP's empty(): "" and "0" are empty. 5.7.88 reads needwatermarkup unless the editor sent
    // its own name; the others read needwatermark when it is there at all, else the site's setting.
    const std::string up = context.fields.get("needwatermarkup");
    const std::string mark = context.fields.get("needwatermark");
    stored.watermark = release57 ? context.fields.get("CKEditor").empty() && !up.empty() && up != "0"
                                 : !context.fields.has("needwatermark") || (!mark.empty() && mark != "0");
    m_uploadByUrl[stored.url] = m_uploads.size();
    m_uploads.push_back(stored);

    if (context.fields.get("CKUpload").empty()) {
        const std::string name = stored.url.substr(folder.size() + 1);
        return successMessage(
            dedeBiz() ? "成功上传一张图片" : "成功上传一幅图片！",
            "select_images.php?imgstick=&comeback=" + phpUrlEncode(name) +
                "&v=&f=&CKEditorFuncNum=1&activepath=" + phpUrlEncode(folder.substr(0, folder.size() - 7)) +
                "/" + day + "&d=" + std::to_string(now));
    }
    // The picture is stored whatever comes back (StandinFaults::storedAnswer).
    const std::string address = stored.url;
    if (release57) {
        return spoiledIfAsked(
            page("<script type=\"text/javascript\">window.parent.CKEDITOR.tools.callFunction(1, '" + address +
                 "', '');</script>"));
    }
    return spoiledIfAsked(page("{\"url\":\"" + jsonEscaped(address) + "\",\"uploaded\":1,\"fileName\":\"" +
                               jsonEscaped(address.substr(folder.size() - 6)) + "\"}"));
}

bool SiteBackEnd::storedUpload(const std::string& path, SiteAnswer& answer) const {
    const auto found = m_uploadByUrl.find(m_sitePath + path);
    if (found == m_uploadByUrl.end()) return false;
    const StoredUpload& stored = m_uploads[found->second];
    answer = SiteAnswer{};
    answer.contentType = stored.contentType;
    answer.body = stored.bytes;
    answer.isText = false;
    return true;
}

std::vector<StoredUpload> SiteBackEnd::uploads() const {
    std::lock_guard lock(m_mutex);
    return m_uploads;
}

}  // namespace oz::testing
