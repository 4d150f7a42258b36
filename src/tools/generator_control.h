#pragma once

#include <functional>

namespace oz::tools {

// How a window or the command line follows a generator that may run on a worker thread. Both
// functions are called on the generator's thread; either may be empty.
struct GeneratorControl {
    // Asked between groups (or characters): true stops the generator, which returns what it has.
    std::function<bool()> stopRequested;
    // done of total units (groups, or bytes of input), about a hundred times per call and once
    // at the end.
    std::function<void(long long done, long long total)> progress;

    bool shouldStop() const { return stopRequested && stopRequested(); }
    void report(long long done, long long total) const {
        if (progress) progress(done, total);
    }
};

}  // namespace oz::tools
