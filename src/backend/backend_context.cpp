#include "backend/backend_context.h"

#include <algorithm>
#include <utility>

#include "backend/records.h"
#include "text/random.h"

namespace oz::backend {

const RunSettings& BackendContext::options() const {
    static const OptionsRunSettings kDefaults;
    return settings != nullptr ? *settings : kDefaults;
}

void BackendContext::noteWriteFailure(const std::optional<WriteFailure>& failure) const {
    if (failure && writeFailures != nullptr) writeFailures->fileFailed(*failure);
}

int BackendContext::randomBetween(int lo, int hi) const {
    lo = std::max(lo, 0);
    hi = std::max(hi, 0);
    if (lo > hi) std::swap(lo, hi);
    return random ? std::clamp(random(lo, hi), lo, hi) : text::randomInt(lo, hi);
}

}  // namespace oz::backend
