#pragma once

#include <QMetaObject>
#include <QObject>
#include <functional>
#include <thread>
#include <utility>

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace oz::ui {

// Called first thing on a window's worker thread: the thread gives way to the window thread when
// both want a core (on a 2-core machine a busy worker otherwise kept the window waiting for one).
inline void giveWayToTheWindowThread() {
#if defined(__linux__)
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 5);
#endif
}

// One piece of work at a time on a thread of its own, for a window that must not wait for it
// (file reading and writing that takes a tenth of a second with a thousand sites). The result
// comes back to the receiver's thread through a queued call, where `done` runs; the receiver owns
// this object, whose end waits for work still going, so the queued call never outlives it.
class BackgroundWork {
   public:
    explicit BackgroundWork(QObject* receiver) : m_receiver(receiver) {}
    ~BackgroundWork() { join(); }
    BackgroundWork(const BackgroundWork&) = delete;
    BackgroundWork& operator=(const BackgroundWork&) = delete;

    // From `start` until `done` has run (waiting for the work does not end it).
    bool busy() const { return m_pending; }
    // Until the work itself has ended (its `done` still runs later, from the event loop).
    void wait() { join(); }

    template <typename Result>
    void start(std::function<Result()> work, std::function<void(Result)> done) {
        join();
        m_pending = true;
        m_thread = std::thread([this, work = std::move(work), done = std::move(done)]() mutable {
            giveWayToTheWindowThread();
            Result result = work();
            QMetaObject::invokeMethod(
                m_receiver,
                [this, done = std::move(done), result = std::move(result)]() mutable {
                    join();
                    m_pending = false;
                    done(std::move(result));
                },
                Qt::QueuedConnection);
        });
    }

   private:
    void join() {
        if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
    }

    QObject* m_receiver;
    std::thread m_thread;
    bool m_pending = false;  // on the receiver's thread only
};

}  // namespace oz::ui
