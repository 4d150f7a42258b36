#pragma once

#include <atomic>
#include <filesystem>
#include <memory>

#include "app/headless_run.h"
#include "backend/batch_site_loop.h"
#include "backend/run_settings.h"
#include "config/run_options.h"

namespace oz::app {

// A batch operation's surroundings on the command line. While the watcher of watchInterrupts()
// lives, the first Ctrl+C (or SIGTERM, SIGHUP) stops the operation between two requests and a
// second one also cuts off the request on the wire.
class HeadlessBatch {
   public:
    HeadlessBatch(const config::RunOptions& options, const std::filesystem::path& dataDir);
    HeadlessBatch(const HeadlessBatch&) = delete;
    HeadlessBatch& operator=(const HeadlessBatch&) = delete;

    const backend::BatchEnvironment& env() const { return m_env; }
    std::unique_ptr<InterruptWatcher> watchInterrupts();

   private:
    backend::OptionsRunSettings m_settings;
    StopRequests m_stopRequests{HeadlessHooks{}};
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_abortRequests{false};
    backend::BatchEnvironment m_env;
};

}  // namespace oz::app
