#include "engine/settle_queue.h"

#include <algorithm>
#include <iterator>

namespace oz::engine {

void SettleQueue::scheduleNextCheck(Parked& parked, std::int64_t nowMs) {
    const std::int64_t steps = static_cast<std::int64_t>(std::size(kCheckAfterMs));
    const std::int64_t after = parked.checks < steps
                                   ? kCheckAfterMs[parked.checks]
                                   : kCheckAfterMs[steps - 1] + (parked.checks - steps + 1) * kRepeatMs;
    parked.nextCheckMs =
        std::min(std::max(parked.answeredAtMs + after, nowMs + kCheckAfterMs[0]), parked.deadlineMs);
}

void SettleQueue::park(Parked parked, std::int64_t nowMs, std::int64_t settleMs) {
    parked.answeredAtMs = nowMs;
    parked.deadlineMs = nowMs + std::max<std::int64_t>(settleMs, 0);
    parked.checks = 0;
    parked.last = false;
    scheduleNextCheck(parked, nowMs);
    m_parked.push_back(std::move(parked));
}

std::vector<SettleQueue::Parked> SettleQueue::takeDue(std::int64_t nowMs) {
    std::vector<Parked> due;
    for (auto it = m_parked.begin(); it != m_parked.end();) {
        if (it->nextCheckMs <= nowMs) {
            it->last = nowMs >= it->deadlineMs;
            due.push_back(std::move(*it));
            it = m_parked.erase(it);
        } else {
            ++it;
        }
    }
    return due;
}

void SettleQueue::putBack(Parked parked, std::int64_t nowMs) {
    ++parked.checks;
    scheduleNextCheck(parked, nowMs);
    m_parked.push_back(std::move(parked));
}

std::vector<SettleQueue::Parked> SettleQueue::takeAll() {
    std::vector<Parked> all = std::move(m_parked);
    m_parked.clear();
    return all;
}

std::int64_t SettleQueue::nextCheckAt() const {
    std::int64_t next = m_parked.front().nextCheckMs;
    for (const Parked& parked : m_parked) next = std::min(next, parked.nextCheckMs);
    return next;
}

}  // namespace oz::engine
