#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/schedule_file.h"
#include "schedule/time_point.h"
#include "text/clock.h"

namespace oz::schedule {

// Stopped -> Running (start) -> Stopping (requestStop) -> Stopped (next tick).
enum class SchedulerState { Stopped, Running, Stopping };

// The caption of the start/stop button for a state: "开始任务", "停止任务", "停止中..".
std::string_view schedulerCaption(SchedulerState state);

// A time point was reached: start a run.
struct ScheduledStart {
    std::string rowText;
    bool completeListing = true;  // the listing method chosen for scheduled runs

    // The status line shown while the run goes: "到点更新" CR LF row text.
    std::string statusText() const { return "到点更新\r\n" + rowText; }
};

// Compares the clock with the checked time points once a second. It owns no timer and no thread:
// the window's timer or runScheduleLoop calls tick. Not thread-safe; one owner drives it.
class Scheduler {
   public:
    // Ticks this far apart (a late timer, a busy thread) still look at every second in between,
    // so no time point is missed; after a longer gap only the current second counts.
    static constexpr std::int64_t kCatchUpSeconds = 5;

    void setRows(std::vector<ScheduleRow> rows);
    const std::vector<ScheduleRow>& rows() const { return m_rows; }

    void setCompleteListing(bool complete) { m_completeListing = complete; }
    bool completeListing() const { return m_completeListing; }

    SchedulerState state() const { return m_state; }
    // Starts ticking (the caller saves the schedule first). Does nothing unless Stopped.
    void start();
    // Asks to stop; the next tick ends the schedule. Does nothing unless Running.
    void requestStop();

    // One tick at wall-clock time `now`. Returns a start when a checked row matches a second
    // since the previous tick and no run is active: at most one start per tick, the first
    // matching row in list order. Rows reached while a run is active are skipped, never queued.
    // A tick while Stopping moves to Stopped and starts nothing.
    std::optional<ScheduledStart> tick(const text::DateTime& now, bool runActive);

   private:
    std::vector<ScheduleRow> m_rows;
    std::vector<std::optional<TimePoint>> m_points;  // parsed m_rows, same order
    bool m_completeListing = true;
    SchedulerState m_state = SchedulerState::Stopped;
    std::optional<std::int64_t> m_lastSecond;  // the last second looked at
    bool m_firedLastTick = false;
};

// Drives `scheduler` from `clock` once a second until `stop` is set or the scheduler has stopped.
// A start calls `startRun`, which runs the whole run before returning, as the window's tick does;
// a caller whose runs go on elsewhere passes `isRunActive`. `beforeTick` (may be empty) runs
// before every tick, so the caller can give the scheduler the rows as they are now. The scheduler
// must have been started.
void runScheduleLoop(Scheduler& scheduler, const text::Clock& clock, const std::atomic<bool>& stop,
                     const std::function<void(const ScheduledStart&)>& startRun,
                     const std::function<bool()>& isRunActive = {},
                     const std::function<void()>& beforeTick = {});

}  // namespace oz::schedule
