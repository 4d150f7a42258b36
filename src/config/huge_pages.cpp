#include "config/huge_pages.h"

#include <cstdint>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace oz::config {

void adviseHugePages(const void* data, std::size_t bytes) {
#ifdef __linux__
    constexpr std::uintptr_t kHugePage = std::uintptr_t{1} << 21;
    if (bytes < 2 * kHugePage) return;
    const auto start = reinterpret_cast<std::uintptr_t>(data);
    const std::uintptr_t first = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t end = (start + bytes) & ~(kHugePage - 1);
    if (end > first) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
    (void)data;
    (void)bytes;
#endif
}

}  // namespace oz::config
