#pragma once

#include <string>
#include <string_view>
#include <vector>

// A multipart/form-data request body, as a browser's file upload form sends it.
namespace oz::http {

struct MultipartPart {
    std::string name;         // the form field's name
    std::string value;        // the field's value, or the file's bytes
    std::string fileName;     // non-empty: the part is a file ("filename=" and its own Content-Type)
    std::string contentType;  // the file's type ("image/png"); "application/octet-stream" when empty
};

struct MultipartBody {
    std::string contentType;  // "multipart/form-data; boundary=..." for PageRequest::contentType
    std::string bytes;        // for PageRequest::postBytes
};

// The body of the parts, in their order. The boundary is drawn until it occurs in no part; quotes,
// CR and LF in names and file names are left out, as they cannot be written in the part's header.
MultipartBody multipartBody(const std::vector<MultipartPart>& parts);

// The same with the boundary given (tests); the caller makes sure no part holds it.
MultipartBody multipartBody(const std::vector<MultipartPart>& parts, std::string_view boundary);

}  // namespace oz::http
