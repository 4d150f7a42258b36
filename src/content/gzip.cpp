#include "content/gzip.h"

#include <zlib.h>

#include <algorithm>

namespace oz::content {
namespace {

constexpr std::size_t kPiece = 8192;

// Owns one zlib inflate stream set up for the gzip wrapper.
class GzipInflater {
   public:
    GzipInflater() { m_ready = inflateInit2(&m_stream, 16 + MAX_WBITS) == Z_OK; }
    ~GzipInflater() {
        if (m_ready) inflateEnd(&m_stream);
    }
    GzipInflater(const GzipInflater&) = delete;
    GzipInflater& operator=(const GzipInflater&) = delete;

    bool ready() const { return m_ready; }
    z_stream& stream() { return m_stream; }

   private:
    z_stream m_stream{};
    bool m_ready = false;
};

}  // namespace

bool isGzip(std::string_view bytes) {
    return bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0x1F &&
           static_cast<unsigned char>(bytes[1]) == 0x8B;
}

std::optional<std::string> gunzip(std::string_view bytes, std::size_t maxOutput) {
    GzipInflater inflater;
    if (!inflater.ready()) return std::nullopt;
    z_stream& zs = inflater.stream();

    std::string out;
    unsigned char buffer[kPiece];
    std::size_t consumed = 0;
    for (;;) {
        const std::size_t piece = std::min(kPiece, bytes.size() - consumed);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data() + consumed));
        zs.avail_in = static_cast<uInt>(piece);
        zs.next_out = buffer;
        zs.avail_out = static_cast<uInt>(kPiece);
        const int rc = inflate(&zs, Z_NO_FLUSH);
        const std::size_t produced = kPiece - zs.avail_out;
        if (produced > maxOutput - out.size()) return std::nullopt;
        out.append(reinterpret_cast<const char*>(buffer), produced);
        const std::size_t used = piece - zs.avail_in;
        consumed += used;
        // Stop on the end of the stream, an error, or a stream that is cut off (no progress left).
        if (rc != Z_OK) break;
        if (used == 0 && produced == 0) break;
    }
    return out;
}

}  // namespace oz::content
