#include "http/multipart.h"

#include "text/random.h"

namespace oz::http {

namespace {

std::string headerWord(std::string_view text) {
    std::string word;
    for (char c : text) {
        if (c != '"' && c != '\r' && c != '\n') word += c;
    }
    return word;
}

std::string drawBoundary() {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string boundary = "----OrvaneFormBoundary";
    for (int i = 0; i < 24; ++i) boundary += kDigits[text::randomInt(0, 15)];
    return boundary;
}

}  // namespace

MultipartBody multipartBody(const std::vector<MultipartPart>& parts, std::string_view boundary) {
    MultipartBody body;
    body.contentType = "multipart/form-data; boundary=" + std::string(boundary);
    std::size_t size = 0;
    for (const MultipartPart& part : parts) size += part.value.size() + part.name.size() + 160;
    body.bytes.reserve(size);
    for (const MultipartPart& part : parts) {
        body.bytes += "--";
        body.bytes += boundary;
        body.bytes += "\r\nContent-Disposition: form-data; name=\"" + headerWord(part.name) + "\"";
        if (!part.fileName.empty()) {
            body.bytes += "; filename=\"" + headerWord(part.fileName) + "\"\r\nContent-Type: ";
            body.bytes += part.contentType.empty() ? std::string("application/octet-stream")
                                                   : headerWord(part.contentType);
        }
        body.bytes += "\r\n\r\n";
        body.bytes += part.value;
        body.bytes += "\r\n";
    }
    body.bytes += "--";
    body.bytes += boundary;
    body.bytes += "--\r\n";
    return body;
}

MultipartBody multipartBody(const std::vector<MultipartPart>& parts) {
    for (;;) {
        const std::string boundary = drawBoundary();
        bool clash = false;
        for (const MultipartPart& part : parts) {
            if (part.value.find(boundary) != std::string::npos) clash = true;
        }
        if (!clash) return multipartBody(parts, boundary);
    }
}

}  // namespace oz::http
