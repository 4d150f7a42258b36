#include "app/headless_batch.h"

namespace oz::app {

HeadlessBatch::HeadlessBatch(const config::RunOptions& options, const std::filesystem::path& dataDir)
    : m_settings(options) {
    m_env.backend.settings = &m_settings;
    m_env.backend.dataDir = dataDir;
    m_env.backend.abort = &m_stop;
    m_env.stop = &m_stop;
    m_env.abortRequests = &m_abortRequests;
}

std::unique_ptr<InterruptWatcher> HeadlessBatch::watchInterrupts() {
    return std::make_unique<InterruptWatcher>(m_stopRequests.count(), [this](int requests) {
        m_stop = true;
        if (requests >= 2) m_abortRequests = true;
    });
}

}  // namespace oz::app
