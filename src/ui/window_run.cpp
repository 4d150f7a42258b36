#include "ui/window_run.h"

#include <QMetaObject>

#include "text/path_text.h"

namespace oz::ui {

void registerRunMetaTypes() {
    static const bool registered = [] {
        qRegisterMetaType<engine::LogEntry>();
        qRegisterMetaType<engine::RunTotals>();
        qRegisterMetaType<engine::RunState>();
        return true;
    }();
    (void)registered;
}

WindowRun::WindowRun(std::filesystem::path dataDir, const text::Clock* clock, QObject* parent)
    : QObject(parent) {
    registerRunMetaTypes();
    engine::PublishRunSetup setup;
    setup.dataDir = std::move(dataDir);
    setup.settings = &m_settings;
    setup.clock = clock;
    setup.observer = &m_relay;
    m_run = std::make_unique<engine::PublishRun>(setup);
}

WindowRun::~WindowRun() {
    m_run->abortNow();
    m_run.reset();  // joins the run before the observer goes away
}

bool WindowRun::startOrStop(const config::SiteList& sites, content::ListingMethod listing, bool scheduled) {
    return m_run->startRun(sites, listing, scheduled);
}

void WindowRun::requestStop() { m_run->requestStop(); }

void WindowRun::abortNow() { m_run->abortNow(); }

bool WindowRun::waitFor(std::chrono::milliseconds timeout) { return m_run->waitFor(timeout); }

bool WindowRun::stopSelectedSite(int siteIndex) { return m_run->stopSelectedSite(siteIndex); }

QString WindowRun::captionFor(engine::RunState state) {
    switch (state) {
        case engine::RunState::Running:
            return QStringLiteral("停止站群更新");
        case engine::RunState::Stopping:
            return QStringLiteral("正在停止中..");
        case engine::RunState::Idle:
            break;
    }
    return QStringLiteral("开始站群更新");
}

// Each call hands a copy of its values to this object's thread; the run never waits on the window.
void WindowRun::Relay::logOpened(const std::filesystem::path& logFile) {
    const QString path = QString::fromStdString(text::pathText(logFile));
    QMetaObject::invokeMethod(
        &m_owner, [o = &m_owner, path] { emit o->logOpened(path); }, Qt::QueuedConnection);
}

void WindowRun::Relay::logLine(const engine::LogEntry& entry) {
    QMetaObject::invokeMethod(
        &m_owner, [o = &m_owner, entry] { emit o->logLine(entry); }, Qt::QueuedConnection);
}

void WindowRun::Relay::siteStarted(int siteIndex) {
    QMetaObject::invokeMethod(
        &m_owner, [o = &m_owner, siteIndex] { emit o->siteStarted(siteIndex); }, Qt::QueuedConnection);
}

void WindowRun::Relay::siteFinished(int siteIndex) {
    QMetaObject::invokeMethod(
        &m_owner, [o = &m_owner, siteIndex] { emit o->siteFinished(siteIndex); }, Qt::QueuedConnection);
}

void WindowRun::Relay::runStateChanged(engine::RunState state) {
    QMetaObject::invokeMethod(
        &m_owner, [o = &m_owner, state] { emit o->stateChanged(state); }, Qt::QueuedConnection);
}

void WindowRun::Relay::runEnded(const engine::RunTotals& totals) {
    QMetaObject::invokeMethod(
        &m_owner, [o = &m_owner, totals] { emit o->runEnded(totals); }, Qt::QueuedConnection);
}

void WindowRun::Relay::writeFailed(const std::string& message) {
    const QString text = QString::fromStdString(message);
    QMetaObject::invokeMethod(
        &m_owner, [o = &m_owner, text] { emit o->writeFailed(text); }, Qt::QueuedConnection);
}

}  // namespace oz::ui
