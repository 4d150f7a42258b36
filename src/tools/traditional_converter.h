#pragma once

#include <memory>
#include <string>
#include <string_view>

namespace oz::tools {

// Simplified to traditional Chinese through OpenCC's "s2t" conversion (phrases first, then single
// characters). Owns one OpenCC converter; one instance belongs to one thread at a time.
class TraditionalConverter {
   public:
    TraditionalConverter();  // loads OpenCC's s2t tables
    ~TraditionalConverter();
    TraditionalConverter(const TraditionalConverter&) = delete;
    TraditionalConverter& operator=(const TraditionalConverter&) = delete;

    // False when OpenCC or its tables could not be loaded; error() tells why.
    bool isReady() const;
    const std::string& error() const { return m_error; }

    // The traditional form of UTF-8 text; the text unchanged when the converter is not ready or
    // OpenCC refuses the input.
    std::string convert(std::string_view simplified) const;

   private:
    struct Handle;
    std::unique_ptr<Handle> m_handle;
    std::string m_error;
};

}  // namespace oz::tools
