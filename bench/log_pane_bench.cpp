// The log pane under load, offscreen: 100,000 lines held, and a stream of 1,000 lines a second
// from a worker thread while the window thread measures how long its event loop is held up.
// Targets: every stall under 50 ms; a full pane as quick to repaint as an empty one.
#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ui/desktop.h"
#include "ui/log_window.h"
#include "ui/window_run.h"

namespace {

oz::engine::LogEntry line(int n) {
    oz::engine::LogEntry entry;
    entry.time = "09:03:02";
    entry.siteLabel = "www.site" + std::to_string(n % 50) + ".com(admin)";
    entry.text = "成功发布文章：第" + std::to_string(n) + "篇文章的标题，栏目 3，耗时 120 毫秒";
    return entry;
}

double msSince(const QElapsedTimer& timer) { return static_cast<double>(timer.nsecsElapsed()) / 1e6; }

// Paints the window as the screen would; offscreen this renders into the backing store.
double paintMs(oz::ui::LogWindow& window) {
    QElapsedTimer timer;
    timer.start();
    window.view().viewport()->repaint();
    return msSince(timer);
}

}  // namespace

int main(int argc, char** argv) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    oz::ui::registerRunMetaTypes();
    oz::ui::QtDesktop desktop;
    oz::ui::LogWindow window(desktop);
    window.show();
    QCoreApplication::processEvents();

    const double emptyPaint = paintMs(window);

    // 1. 100,000 lines in one go.
    constexpr int kHeld = 100'000;
    QElapsedTimer timer;
    timer.start();
    for (int n = 0; n < kHeld; ++n) window.append(line(n));
    window.model().flush();
    const double fillMs = msSince(timer);
    QCoreApplication::processEvents();
    double fullPaint = 0;
    for (int i = 0; i < 5; ++i) fullPaint = std::max(fullPaint, paintMs(window));
    timer.restart();
    window.append(line(kHeld));
    window.model().flush();
    paintMs(window);
    const double oneMoreMs = msSince(timer);

    // 2. 1,000 lines a second for 5 s from another thread, queued as a run's lines are.
    constexpr int kRate = 1000;
    constexpr int kSeconds = 5;
    std::atomic<bool> done{false};
    std::thread producer([&] {
        const auto start = std::chrono::steady_clock::now();
        for (int n = 0; n < kRate * kSeconds; ++n) {
            std::this_thread::sleep_until(start + std::chrono::microseconds(n * 1'000'000 / kRate));
            const auto entry = line(kHeld + 1 + n);
            QMetaObject::invokeMethod(
                &window, [&window, entry] { window.append(entry); }, Qt::QueuedConnection);
        }
        done = true;
    });
    // A 5 ms heartbeat on the window thread: any gap beyond it is time the event loop was held.
    std::vector<double> stalls;
    QElapsedTimer beat;
    beat.start();
    QTimer heart;
    heart.setTimerType(Qt::PreciseTimer);
    heart.setInterval(5);
    QObject::connect(&heart, &QTimer::timeout, [&] {
        stalls.push_back(std::max(0.0, msSince(beat) - 5.0));
        beat.restart();
        window.view().viewport()->update();
        if (done) {
            heart.stop();
            app.quit();
        }
    });
    heart.start();
    app.exec();
    producer.join();
    QCoreApplication::processEvents();
    std::sort(stalls.begin(), stalls.end());
    const double worst = stalls.empty() ? 0 : stalls.back();
    const double p99 = stalls.empty() ? 0 : stalls[stalls.size() * 99 / 100];

    std::printf("rows held after the stream          %d\n", window.model().rowCount());
    std::printf("append 100,000 lines and flush       %.1f ms\n", fillMs);
    std::printf("repaint, empty pane                  %.2f ms\n", emptyPaint);
    std::printf("repaint, 100,000 lines (worst of 5)  %.2f ms\n", fullPaint);
    std::printf("one more line + flush + repaint      %.2f ms\n", oneMoreMs);
    std::printf("stream 1,000 lines/s x %d s: heartbeats %zu, worst stall %.2f ms, p99 %.2f ms\n", kSeconds,
                stalls.size(), worst, p99);
    return worst < 50.0 ? 0 : 1;
}
