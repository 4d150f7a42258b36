#include "schedule/scheduler.h"

#include <algorithm>
#include <utility>

namespace oz::schedule {

std::string_view schedulerCaption(SchedulerState state) {
    switch (state) {
        case SchedulerState::Running:
            return "停止任务";
        case SchedulerState::Stopping:
            return "停止中..";
        case SchedulerState::Stopped:
            break;
    }
    return "开始任务";
}

void Scheduler::setRows(std::vector<ScheduleRow> rows) {
    m_rows = std::move(rows);
    m_points.clear();
    for (const ScheduleRow& row : m_rows) m_points.push_back(parseTimePoint(row.text));
}

void Scheduler::start() {
    if (m_state != SchedulerState::Stopped) return;
    m_state = SchedulerState::Running;
    m_lastSecond.reset();
    m_firedLastTick = false;
}

void Scheduler::requestStop() {
    if (m_state == SchedulerState::Running) m_state = SchedulerState::Stopping;
}

std::optional<ScheduledStart> Scheduler::tick(const text::DateTime& now, bool runActive) {
    if (m_state == SchedulerState::Stopping) {
        m_state = SchedulerState::Stopped;
        return std::nullopt;
    }
    if (m_state != SchedulerState::Running) return std::nullopt;

    const std::int64_t current = text::toSerialSeconds(now);
    std::int64_t first = current;
    if (m_lastSecond) {
        const std::int64_t gap = current - *m_lastSecond;
        if (gap == 0) {
            first = current + 1;  // this second was looked at already
        } else if (gap > 0 && gap <= kCatchUpSeconds && !m_firedLastTick) {
            // After a start the seconds the run took are skipped, not caught up.
            first = *m_lastSecond + 1;
        }
    }
    m_lastSecond = current;
    m_firedLastTick = false;
    if (runActive) return std::nullopt;

    for (std::int64_t second = first; second <= current; ++second) {
        const text::DateTime moment = second == current ? now : text::fromSerialSeconds(second);
        for (std::size_t i = 0; i < m_rows.size(); ++i) {
            if (!m_rows[i].checked || !m_points[i] || !m_points[i]->matches(moment)) continue;
            m_firedLastTick = true;
            return ScheduledStart{m_rows[i].text, m_completeListing};
        }
    }
    return std::nullopt;
}

void runScheduleLoop(Scheduler& scheduler, const text::Clock& clock, const std::atomic<bool>& stop,
                     const std::function<void(const ScheduledStart&)>& startRun,
                     const std::function<bool()>& isRunActive, const std::function<void()>& beforeTick) {
    constexpr std::int64_t kPeriodMs = 1000;
    std::int64_t nextTick = clock.tickMs();
    while (!stop.load() && scheduler.state() != SchedulerState::Stopped) {
        if (beforeTick) beforeTick();
        const bool runActive = isRunActive ? isRunActive() : false;
        if (auto start = scheduler.tick(clock.now(), runActive)) startRun(*start);
        if (scheduler.state() == SchedulerState::Stopped) break;
        // Ticks keep to a fixed beat rather than drifting by the time each one took; after a
        // long run the beat starts again from now.
        nextTick = std::max(nextTick + kPeriodMs, clock.tickMs());
        if (!text::interruptibleWait(std::chrono::milliseconds(nextTick - clock.tickMs()), stop, clock))
            break;
    }
}

}  // namespace oz::schedule
