#pragma once

#include <string>

#include "backend/batch_site_loop.h"
#include "engine/run_observer.h"

namespace oz::app {

// The exit statuses, as --help, the manual page and the README state them. `run` and `batch` use
// all four, `run` also 4; the other commands end with 0, 1 for a failure, or 2.
inline constexpr int kAllDone = 0;          // everything was done
inline constexpr int kSomeFailed = 1;       // some sites or items failed, were left unknown or stopped
inline constexpr int kUsageError = 2;       // bad command or arguments, or no data folder to be had
inline constexpr int kNothingDone = 3;      // every site failed, or the command could not start
inline constexpr int kLiveCheckFailed = 4;  // all published, but some did not show right on the live site

// The rows of the statuses' table in the help texts (under a heading of the caller's).
std::string exitStatusHelp();

// A run: 0 when every enabled site published what it had to and every file of the run was
// written; 4 when it did, but a published article or the home page failed the live check; 3 when
// no site published anything it had to (every login failed, say); else 1.
int runExitStatus(const engine::RunTotals& totals);

// A batch operation: 0 when nothing failed and it was not stopped; 3 when every site failed;
// else 1.
int batchExitStatus(const backend::BatchReport& report);

}  // namespace oz::app
