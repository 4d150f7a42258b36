#include "http/multipart.h"

#include <gtest/gtest.h>

namespace oz::http {
namespace {

using namespace std::string_literals;

TEST(MultipartBodyTest, WritesFieldsAndFilesAsABrowserDoes) {
    const MultipartBody body = multipartBody(
        {{"imgfile", std::string("\x89PNG\0\r\n", 7), "a\"b.png", "image/png"}, {"CKUpload", "1", {}, {}}},
        "XyZ");
    EXPECT_EQ(body.contentType, "multipart/form-data; boundary=XyZ");
    EXPECT_EQ(body.bytes,
              "--XyZ\r\nContent-Disposition: form-data; name=\"imgfile\"; filename=\"ab.png\"\r\n"
              "Content-Type: image/png\r\n\r\n\x89PNG\0\r\n\r\n"
              "--XyZ\r\nContent-Disposition: form-data; name=\"CKUpload\"\r\n\r\n1\r\n--XyZ--\r\n"s);
}

TEST(MultipartBodyTest, TheDrawnBoundaryIsInNoPart) {
    const MultipartBody body = multipartBody({{"f", std::string(1000, '-'), "x.gif", {}}});
    const std::string boundary = body.contentType.substr(body.contentType.find('=') + 1);
    EXPECT_GE(boundary.size(), 20u);
    EXPECT_EQ(body.bytes.find(boundary), 2u);
    EXPECT_NE(body.bytes.find("Content-Type: application/octet-stream"), std::string::npos);
}

}  // namespace
}  // namespace oz::http
