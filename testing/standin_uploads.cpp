// The editor's picture upload of the stand-in (dialog/select_images_post.php), as each release's
// PHP does it: the upload filter of include/uploadsafe.inc.php first, then the page itself.
// Where the releases differ is in their StandinFamily.

#include <array>
#include <ctime>
#include <span>
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

// What 5.7.88's filter takes for a picture by its name, and what of that it remakes as JPEG or PNG.
constexpr std::array<std::string_view, 3> kFilteredExtensions{"jpg", "gif", "png"};
constexpr std::array<std::string_view, 3> kRemadeExtensions{"jpg", "jpeg", "png"};

bool inList(std::string_view item, std::span<const std::string_view> list, bool ignoreCase) {
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
    const StandinFamily& family = m_family;
    const bool remakesPictures = family.uploadFilter == UploadFilter::RemakesPictures;
    const Session* current = session(context);
    if (family.uploadUnderInclude && (current == nullptr || !current->loggedIn)) {
        // include/dialog/config.php asks for the back-end folder.
        return message(
            "<b>提示：需输入后台管理目录才能登录</b><br /><form>请输入后台管理目录名：<input type='text' "
            "name='adminDirHand' value='dede' /></form>",
            "javascript:;");
    }
    auto refuse = [&](std::string_view text) {
        if (family.uploadRefusal == UploadRefusal::Json) {
            return page("{\"uploaded\":0,\"error\":{\"message\":\"" + jsonEscaped(text) + "\"}}");
        }
        return message(text, "-1");
    };
    const UploadedFile* file = nullptr;
    bool madeImage = false;  // 5.7.88's filter: a JPEG or PNG part made an image before
    for (const UploadedFile& part : context.request.files) {
        if (part.bytes.size() > m_uploadMaxBytes) continue;  // PHP drops it
        const bool pictureType = part.contentType.starts_with("image/");
        const std::string extension = extensionOf(part.fileName);
        if (remakesPictures && (pictureType || inList(extension, kFilteredExtensions, true))) {
            if (!isPicture(part.bytes) && part.contentType != "image/webp") {
                return page("Upload filetype not allow !");
            }
            if (part.contentType == "image/jpeg" || part.contentType == "image/png" ||
                inList(extension, kRemadeExtensions, true)) {
                madeImage = true;
            } else if (!madeImage) {
                return serverError();  // imagedestroy() of an image never made
            }
        }
        if (family.uploadFilter == UploadFilter::MediaOnly && pictureType && !isPicture(part.bytes)) {
            return refuse(family.notMedia);
        }
        if (part.field == "imgfile") file = &part;
    }
    if (file == nullptr) return refuse(family.pictureMissing);
    const std::string extension = extensionOf(file->fileName);
    if (!inList(extension, family.pictureExtensions, family.extensionsIgnoreCase)) {
        return refuse(family.extensionRefused);
    }
    const bool typeKnown =
        inList(file->contentType, family.pictureTypes, true) ||
        (!family.pictureTypeAsSent.empty() && file->contentType == family.pictureTypeAsSent);
    if (!typeKnown) return refuse(family.typeRefused);

    StoredUpload stored;
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char day[8];
    std::strftime(day, sizeof day, "%y%m%d", &local);
    const std::string folder = m_sitePath + std::string(family.uploadFolder) + day;
    stored.url = folder + "/1-" + std::to_string(m_uploads.size() + 1) + "." + extension;
    stored.bytes = file->bytes;
    stored.fileName = file->fileName;
    stored.contentType = file->contentType;
    // PHP's empty(): "" and "0" are empty.
    const std::string mark = context.fields.get(family.watermarkField);
    const bool markAsked = family.watermarkWhenAbsent && !context.fields.has(family.watermarkField);
    const bool editorUpload = !context.fields.get("CKEditor").empty();
    stored.watermark =
        !(family.editorUploadsUnmarked && editorUpload) && (markAsked || (!mark.empty() && mark != "0"));
    m_uploadByUrl[stored.url] = m_uploads.size();
    m_uploads.push_back(stored);

    if (context.fields.get("CKUpload").empty()) {
        const std::string name = stored.url.substr(folder.size() + 1);
        return successMessage(
            family.pictureUploaded,
            "select_images.php?imgstick=&comeback=" + phpUrlEncode(name) +
                "&v=&f=&CKEditorFuncNum=1&activepath=" + phpUrlEncode(folder.substr(0, folder.size() - 7)) +
                "/" + day + "&d=" + std::to_string(now));
    }
    // The picture is stored whatever comes back (StandinFaults::storedAnswer).
    const std::string address = stored.url;
    if (family.editorUploadAnswer == EditorUploadAnswer::Script) {
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
