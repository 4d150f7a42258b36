#include "ui/run_bar.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>

#include "backend/run_settings.h"
#include "config/number_text.h"
#include "content/site_pools.h"
#include "ui/custom_refresh_menu.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/site_bindings.h"
#include "ui/window_run.h"

namespace oz::ui {

namespace {

const QString kIdleCaption = QStringLiteral("开始站群更新");
const QString kLogClosed = QStringLiteral("查看日志");
const QString kLogOpen = QStringLiteral("关闭日志");

}  // namespace

RunBar::RunBar(const UiServices& services, Hooks hooks, QWidget* parent)
    : QWidget(parent), m_services(services), m_hooks(std::move(hooks)) {
    m_run = std::make_unique<WindowRun>(m_services.dataDir, m_services.clock);
    // Three rows, so the bar fits a window 1024 pixels wide: the run mode and the global count,
    // the refresh options, the run's own options, then the start button and the two small ones.
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(8, 0, 8, 0);
    grid->setHorizontalSpacing(10);
    grid->addLayout(rowOf({radio("单选框同步循环", QStringLiteral("同步循环更新[循环一次间隔秒]：")),
                           edit("编辑框循环间隔", 50)}),
                    0, 0);
    grid->addLayout(rowOf({radio("单选框先后独立", QStringLiteral("先后独立更新[同时更新站点数]：")),
                           edit("编辑框同时站点数", 50)}),
                    1, 0);
    grid->addLayout(
        rowOf({check("选择框全局更新数量", QStringLiteral("全局更新数量:")), edit("编辑框全局更新数量", 50)}),
        2, 0);
    grid->addWidget(check("选择框RSS所有栏目", QStringLiteral("刷新所有栏目RSS")), 0, 1);
    grid->addWidget(check("选择框HTML所有栏目", QStringLiteral("刷新所有栏目HTML")), 1, 1);
    grid->addWidget(check("选择框刷新子级栏目", QStringLiteral("刷新子级栏目")), 2, 1);
    grid->addWidget(check("选择框一键更新网站", QStringLiteral("一键更新网站")), 0, 2);
    grid->addWidget(check("选择框失败时重复尝试", QStringLiteral("失败时重复尝试")), 1, 2);
    grid->addWidget(check("选择框按读入顺序发布", QStringLiteral("按读入顺序发布")), 2, 2);
    grid->addWidget(check("选择框完成关机", QStringLiteral("更新完成关机")), 0, 3);
    grid->addWidget(check("选择框发布后前台检查", QStringLiteral("发布后前台检查")), 1, 3);
    grid->addWidget(check("选择框重复发布已发布文件", QStringLiteral("重复发布已发布文件")), 2, 3);
    grid->setColumnStretch(4, 1);
    m_start = button("按钮开始更新", kIdleCaption);
    m_start->setMinimumSize(188, 40);
    QFont bold = m_start->font();
    bold.setBold(true);
    m_start->setFont(bold);
    m_start->installEventFilter(this);
    grid->addWidget(m_start, 0, 5, 3, 1, Qt::AlignVCenter);
    m_refreshMenu = createCustomRefreshMenu(this);
    QPushButton* refresh = button("按钮定制刷新", QStringLiteral("定制刷新"));
    connect(refresh, &QPushButton::clicked, this,
            [this, refresh] { m_refreshMenu->popup(refresh->mapToGlobal(QPoint(0, refresh->height()))); });
    m_logButton = button("按钮查看日志", kLogClosed);
    connect(m_logButton, &QPushButton::clicked, this, &RunBar::logButtonClicked);
    grid->addWidget(refresh, 0, 6);
    grid->addWidget(m_logButton, 1, 6);

    setNumberValidator(child<QLineEdit>(this, "编辑框循环间隔"), true);
    setNumberValidator(child<QLineEdit>(this, "编辑框同时站点数"));
    setNumberValidator(child<QLineEdit>(this, "编辑框全局更新数量"));

    m_statusLabel = new QLabel;
    m_progress = new QProgressBar;
    m_progress->setMaximumWidth(260);
    // The count is in the status line: a text drawn over the bar was hidden by its fill.
    m_progress->setTextVisible(false);
    m_progress->hide();
    m_statusTimer = new QTimer(this);
    m_statusTimer->setInterval(1000);
    connect(m_statusTimer, &QTimer::timeout, this, &RunBar::updateStatus);

    connect(m_start, &QPushButton::clicked, this, [this] { startOrStop(content::ListingMethod::Complete); });
    connect(m_run.get(), &WindowRun::siteStarted, this, &RunBar::onSiteStarted);
    connect(m_run.get(), &WindowRun::siteFinished, this, &RunBar::onSiteFinished);
    connect(m_run.get(), &WindowRun::stateChanged, this, &RunBar::onStateChanged);
    connect(m_run.get(), &WindowRun::runEnded, this, &RunBar::onRunEnded);
    connect(m_run.get(), &WindowRun::writeFailed, this, &RunBar::onWriteFailed);
}

RunBar::~RunBar() {
    m_run.reset();  // aborts a run still going before the widgets go
}

void RunBar::connectRules(QWidget* scope) {
    m_scope = scope;
    for (const OptionBinding& b : optionBindings()) {
        QWidget* control = child(scope, b.objectName);
        if (auto* box = qobject_cast<QAbstractButton*>(control)) {
            connect(box, &QAbstractButton::toggled, this, &RunBar::applyEnabling);
        } else if (auto* list = qobject_cast<QComboBox*>(control)) {
            connect(list, &QComboBox::currentIndexChanged, this, &RunBar::pushRunSettings);
        } else if (auto* line = qobject_cast<QLineEdit*>(control)) {
            connect(line, &QLineEdit::textChanged, this, &RunBar::pushRunSettings);
        }
    }
    connect(child<QAbstractButton>(this, "选择框HTML所有栏目"), &QAbstractButton::toggled, this,
            &RunBar::pushRunSettings);
    for (QAction* a : m_refreshMenu->findChildren<QAction*>())
        connect(a, &QAction::toggled, this, &RunBar::pushRunSettings);
    applyEnabling();
}

void RunBar::applyEnabling() {
    child(this, "编辑框全局更新数量")
        ->setEnabled(child<QAbstractButton>(this, "选择框全局更新数量")->isChecked());
    pushRunSettings();
}

void RunBar::pushRunSettings() {
    if (m_scope == nullptr) return;
    RunSettingsSnapshot snapshot;
    snapshot.options = m_hooks.runOptions();
    snapshot.htmlAllCategories = child<QCheckBox>(this, "选择框HTML所有栏目")->isChecked();
    m_run->updateSettings(snapshot);
}

bool RunBar::isRunning() const { return m_start->text() != kIdleCaption; }

void RunBar::setLogShown(bool shown) { m_logButton->setText(shown ? kLogOpen : kLogClosed); }

bool RunBar::isLogShown() const { return m_logButton->text() == kLogOpen; }

bool RunBar::eventFilter(QObject* watched, QEvent* event) {
    // The right button, or the menu key (Shift+F10) for an operator without a mouse.
    const bool rightPress = event->type() == QEvent::MouseButtonPress &&
                            static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    if (watched == m_start && (rightPress || isKeyboardMenu(event))) {
        startOrStop(content::ListingMethod::Fast);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void RunBar::startOrStop(content::ListingMethod listing) {
    if (!isRunning()) {
        // A run and a batch operation would both drive the same sites and the same site group.
        if (m_hooks.batchBusy()) {
            m_services.dialogs->message(
                this, QStringLiteral("批处理工具正在执行，请等它完成或停止后再开始站群更新。"));
            return;
        }
        if (!sitesHaveCategories()) return;
        startRun(listing, false);
        return;
    }
    m_start->setText(QStringLiteral("正在停止中.."));
    m_stopAsked = true;
    m_run->requestStop();
}

bool RunBar::sitesHaveCategories() {
    // Without a checked category every article of the site goes without one, and the back end
    // refuses each: said before the run, which starts only when the operator says so.
    QStringList bare;
    for (const config::SiteConfig& site : m_hooks.sites().sites) {
        if (site.enabled && content::parseCategoryIds(site.categoryIds).empty())
            bare << QString::fromStdString(site.domain + "(" + site.user + ")");
    }
    if (bare.isEmpty()) return true;
    const QString shown =
        bare.mid(0, 10).join(QStringLiteral("\r\n")) +
        (bare.size() > 10 ? QStringLiteral("\r\n……共 %1 个站点").arg(bare.size()) : QString());
    return m_services.dialogs->message(
               this,
               QStringLiteral("以下勾选的站点没有勾选栏目，文章将发布失败：\r\n") + shown +
                   QStringLiteral("\r\n\r\n请在栏目列表中勾选栏目。仍然开始更新吗？"),
               {}, Dialogs::Buttons::YesNo, Dialogs::Icon::Warning) == Dialogs::Answer::Yes;
}

void RunBar::startRun(content::ListingMethod listing, bool scheduled) {
    pushRunSettings();
    m_stopAsked = false;
    // The caption changes at once; the run's own state report follows.
    onStateChanged(engine::RunState::Running);
    if (!m_run->startOrStop(m_hooks.sites(), listing, scheduled)) onStateChanged(m_run->state());
}

void RunBar::stopSite(int row) { m_run->stopSelectedSite(row + 1); }

void RunBar::onStateChanged(engine::RunState state) {
    m_state = state;
    m_start->setText(WindowRun::captionFor(state));
    const bool running = state != engine::RunState::Idle;
    if (running && !m_statusTimer->isActive()) {
        m_runClock.start();
        m_writeFailureShown = false;
        m_published = 0;
        m_plannedTotal = 0;
        m_finished.clear();
        m_takingPart.clear();
        const config::RunOptions options = m_hooks.runOptions();
        const int global = config::toInt(backend::lenientReal(options.globalCount));
        bool known = true;
        for (const config::SiteConfig& site : m_hooks.sites().sites) {
            m_takingPart.push_back(site.enabled);
            if (!site.enabled) continue;
            const int count = options.useGlobalCount ? global : site.articleCount;
            if (count <= 0) known = false;
            m_plannedTotal += count;
        }
        m_started.assign(m_takingPart.size(), false);
        m_finished.assign(m_takingPart.size(), false);
        if (!known) m_plannedTotal = 0;
        m_progress->setVisible(m_plannedTotal > 0);
        m_progress->setRange(0, std::max(1, m_plannedTotal));
        m_progress->setValue(0);
        m_statusTimer->start();
    }
    emit runningChanged(running);
    updateStatus();
}

void RunBar::onSiteStarted(int siteIndex) {
    const auto row = static_cast<std::size_t>(siteIndex - 1);
    if (siteIndex < 1 || row >= m_started.size() || m_started[row]) return;
    m_started[row] = true;
    updateStatus();
}

void RunBar::onSiteFinished(int siteIndex) {
    // The run reports the unchecked sites as done at its start (their rows are greyed); they are
    // not counted, and neither is a site reported twice.
    const auto row = static_cast<std::size_t>(siteIndex - 1);
    if (siteIndex < 1 || row >= m_takingPart.size() || !m_takingPart[row] || m_finished[row]) return;
    m_finished[row] = true;
    emit siteFinished(siteIndex - 1);
    updateStatus();
}

void RunBar::onRunEnded(const engine::RunTotals& totals) {
    m_statusTimer->stop();
    m_published = totals.totalUpdated;
    // The status bar keeps how the last run ended until the next one starts.
    QString ended = (m_stopAsked ? QStringLiteral("上次更新已停止：已发布 ")
                                 : QStringLiteral("上次更新已完成：已发布 ")) +
                    QString::number(totals.totalUpdated) + QStringLiteral(" 篇");
    if (totals.unknownOutcome > 0) ended += QStringLiteral("，结果未知 %1 篇").arg(totals.unknownOutcome);
    if (!totals.unwrittenFiles.empty())
        ended += QStringLiteral("，%1 个文件未能写入").arg(totals.unwrittenFiles.size());
    ended += QStringLiteral("，用时 ") + QString::fromStdString(totals.durationText);
    m_statusLabel->setText(ended);
    m_progress->hide();
    onStateChanged(engine::RunState::Idle);
    emit runEnded(totals);
}

void RunBar::onWriteFailed(const QString& message) {
    // The first failure of a run is said at once; the rest are in the log and its summary.
    if (m_writeFailureShown) return;
    m_writeFailureShown = true;
    m_services.dialogs->message(
        this, message + QStringLiteral("\r\n\r\n更新继续进行，未能写入的记录在日志末尾列出。"), {},
        Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
}

void RunBar::updateStatus() {
    if (m_state == engine::RunState::Idle) return;
    m_published = m_run->totalUpdated();
    int taking = 0;
    int running = 0;
    int finished = 0;
    for (std::size_t row = 0; row < m_takingPart.size(); ++row) {
        if (!m_takingPart[row]) continue;
        ++taking;
        if (m_finished[row]) {
            ++finished;
        } else if (m_started[row]) {
            ++running;
        }
    }
    const qint64 seconds = m_runClock.elapsed() / 1000;
    const QString published = m_plannedTotal > 0
                                  ? QStringLiteral("%1 / %2").arg(m_published).arg(m_plannedTotal)
                                  : QString::number(m_published);
    m_statusLabel->setText(
        QStringLiteral("站点：进行中 %1 / 等待 %2 / 已完成 %3 / 共 %4    已发布 %5 篇    用时 %6:%7:%8")
            .arg(running)
            .arg(taking - running - finished)
            .arg(finished)
            .arg(taking)
            .arg(published)
            .arg(seconds / 3600, 2, 10, QChar('0'))
            .arg(seconds / 60 % 60, 2, 10, QChar('0'))
            .arg(seconds % 60, 2, 10, QChar('0')));
    if (m_plannedTotal > 0) m_progress->setValue(std::min(m_published, m_plannedTotal));
}

}  // namespace oz::ui
