#pragma once

#include <cstddef>

namespace oz::config {

// Asks for a large buffer (the text of a settings file of 100,000 sites, their records) to be
// backed by huge pages where the system gives them on request (Linux's transparent huge pages in
// "madvise" mode). Touching 100 MB then costs a few dozen page faults instead of 25,000, which on
// a virtual machine is most of the time a large file takes to read. Call it before the memory is
// first written; buffers under a few megabytes and other systems are left as they are.
void adviseHugePages(const void* data, std::size_t bytes);

}  // namespace oz::config
