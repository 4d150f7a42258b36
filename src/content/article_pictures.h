#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The pictures an HTML article names: which are files on this machine (to be uploaded to the site
// with the article) and which are the web's (left as they are).
namespace oz::content {

// A picture address of the body that names a file on this machine.
struct LocalPicture {
    std::size_t offset = 0;  // where the address starts in the body
    std::size_t length = 0;  // its length as written
    std::string written;     // the address as the body holds it ("pics/red.png")
    std::string file;        // the file it names, as this machine opens it
    bool link = false;       // an <a href> to the picture rather than an <img src>
};

// Every <img src> and every <a href> whose address ends in a picture extension (.jpg .jpeg .png
// .gif .webp .bmp) that names a local file: a relative address (resolved against the folder of
// `articlePath`, as written or percent-decoded, with "\" read as "/" when it is not found
// otherwise), a "file://" address, or an absolute path of a file that exists. An absolute path that
// names no file here is taken as an address of the site and left out, as are "http://", "https://",
// "//" and "data:" addresses. Tag and attribute names are compared ignoring ASCII case; values may
// be quoted or bare; character references in them are decoded. In body order.
std::vector<LocalPicture> localPictures(std::string_view body, std::string_view articlePath);

// The body with the address of each picture replaced by stored[i] (same order as `pictures`).
std::string withAddresses(std::string_view body, const std::vector<LocalPicture>& pictures,
                          const std::vector<std::string>& stored);

// What a picture file is, told by its first bytes (never by its name).
struct PictureType {
    std::string_view extension;  // "png", "jpg", "gif", "webp", "bmp"
    std::string_view mimeType;   // "image/png", ...
};
std::optional<PictureType> pictureType(std::string_view bytes);

// A picture file read for its upload: its bytes and type, or why it cannot be uploaded
// ("文件不存在", "无法读取", "文件过大": above 32 MiB, "不是图片").
struct PictureFile {
    std::string bytes;
    std::optional<PictureType> type;
    std::string problem;  // empty when the file is a picture
};
PictureFile readPictureFile(const std::string& file);

}  // namespace oz::content
