#include "ui/main_window.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "config/settings_file.h"
#include "config/site_list_store.h"
#include "text/path_text.h"
#include "ui/batch_tools_window.h"
#include "ui/category_panel.h"
#include "ui/control_state.h"
#include "ui/countdown_window.h"
#include "ui/custom_refresh_menu.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/help_text.h"
#include "ui/log_window.h"
#include "ui/run_bar.h"
#include "ui/schedule_window.h"
#include "ui/site_bindings.h"
#include "ui/site_form_panel.h"
#include "ui/site_list_panel.h"
#include "ui/window_run.h"

namespace oz::ui {

namespace {

// The state of the schedule window's date box, kept beside its two options.
constexpr const char* kScheduleDateKey = "选择框日期";

// The controls a run (or a batch operation) disables for its whole length.
const char* const kRunLockedControls[] = {
    "单选框先后独立", "单选框同步循环", "按钮导入", "按钮导出", "按钮上移", "按钮下移", "按钮启用",
    "按钮不启",       "按钮反启",       "按钮添加", "按钮修改", "按钮删除", "按钮清空", "按钮读取栏目列表"};

}  // namespace

MainWindow::MainWindow(config::SettingsFile& settings, UiServices services, QWidget* parent)
    : QMainWindow(parent), m_settings(settings, this), m_services(std::move(services)) {
    setWindowTitle(QStringLiteral("Orvane·Zentrel v1.9.9.1 - dedeCMS门户站群批量更新文章的软件"));
    setWindowIcon(QIcon(QStringLiteral(":/orvane-zentrel.png")));
    // 1082 × 711, or less on a smaller screen (the layout fits 1024 × 768 with the window's frame).
    QSize size(1082, 711);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        size = size.boundedTo(screen->availableGeometry().size() - QSize(8, 32));
    resize(size);
    buildControls();
    m_form->showSite(config::initialSiteConfig());
    loadStartup();
    readyForKeyboard(this);
}

MainWindow::~MainWindow() {
    delete m_batchWindow;  // stops and joins its action while this window is still whole
}

// ---- layout and wiring ----------------------------------------------------------------------

void MainWindow::buildControls() {
    m_central = new QWidget;
    m_form = new SiteFormPanel(m_services, m_central);
    m_sites = new SiteListPanel(m_services, {[this] { return formSite(); }, [this] { return isRunning(); },
                                             [this](const std::vector<int>& rows) { storeChecks(rows); }});
    m_categories = new CategoryPanel(
        m_services, {[this] { return m_form->connection(); }, [this] { return runOptions(); }});
    m_runBar = new RunBar(m_services, {[this]() -> const config::SiteList& { return m_sites->list(); },
                                       [this] { return runOptions(); }, [this] { return isBatchBusy(); }});

    auto* page = new QVBoxLayout(m_central);
    page->setContentsMargins(0, 0, 0, 4);
    page->setSpacing(2);
    page->addWidget(buildHeader());
    auto* separator = named(new QFrame, QStringLiteral("标签13"));
    separator->setFrameShape(QFrame::HLine);
    separator->setFixedHeight(2);
    page->addWidget(separator);

    m_siteFrame = named(new QGroupBox, QStringLiteral("分组框3"));
    auto* frameRow = new QHBoxLayout(m_siteFrame);
    auto* column = new QWidget;
    column->setMaximumWidth(210);
    auto* columnLayout = new QVBoxLayout(column);
    columnLayout->setContentsMargins(0, 0, 0, 0);
    columnLayout->addWidget(m_sites, 1);
    columnLayout->addWidget(m_form->buildConnectionFields());
    frameRow->addWidget(column);
    auto* options = new QVBoxLayout;
    options->addWidget(m_form->buildArticleOptions(m_categories), 3);
    options->addWidget(m_form->buildFileOptions());
    options->addWidget(m_form->buildEnhancements());
    frameRow->addLayout(options, 1);
    auto* framePad = new QHBoxLayout;
    framePad->setContentsMargins(4, 0, 4, 0);
    framePad->addWidget(m_siteFrame);
    page->addLayout(framePad, 1);
    page->addWidget(m_runBar);
    setCentralWidget(m_central);
    // Compact rows, so the whole form fits the initial size at the usual font sizes.
    for (QLayout* layout : m_central->findChildren<QLayout*>()) {
        if (auto* grid = qobject_cast<QGridLayout*>(layout)) grid->setVerticalSpacing(2);
        if (auto* box = qobject_cast<QBoxLayout*>(layout); box && box->direction() == QBoxLayout::TopToBottom)
            box->setSpacing(2);
        if (qobject_cast<QGroupBox*>(layout->parentWidget())) layout->setContentsMargins(6, 1, 6, 1);
    }

    // The status bar is always there, empty while idle: were it shown only during a run, the
    // layout would move up under the mouse and a second click on 开始站群更新 would miss it.
    statusBar()->addWidget(m_runBar->statusLabel(), 1);
    statusBar()->addPermanentWidget(m_runBar->progressBar());

    m_form->connectRules();
    m_runBar->connectRules(m_central);
    connect(m_sites, &SiteListPanel::currentChanged, this, &MainWindow::showSite);
    connect(m_sites, &SiteListPanel::countChanged, this, &MainWindow::refreshFrameTitle);
    connect(m_sites, &SiteListPanel::stopSiteRequested, m_runBar, &RunBar::stopSite);
    connect(m_categories, &CategoryPanel::readFinished, this, &MainWindow::categoryReadFinished);
    connect(m_runBar, &RunBar::runningChanged, this, &MainWindow::onRunningChanged);
    connect(m_runBar, &RunBar::siteFinished, m_sites, &SiteListPanel::markFinished);
    connect(m_runBar, &RunBar::runEnded, this, &MainWindow::onRunEnded);
    connect(m_runBar, &RunBar::logButtonClicked, this, &MainWindow::toggleLogWindow);
    refreshFrameTitle(0);
    buildTray();
    buildLogWindow();
}

QWidget* MainWindow::buildHeader() {
    auto* strip = named(new QFrame, QStringLiteral("图片框1"));
    strip->setFixedHeight(88);
    strip->setAutoFillBackground(true);
    QPalette palette = strip->palette();
    palette.setColor(QPalette::Window, QColor(0xF3, 0xF6, 0xFA));
    strip->setPalette(palette);
    auto* row = new QHBoxLayout(strip);
    row->setContentsMargins(16, 8, 16, 8);
    auto* brand =
        new QLabel(QStringLiteral("<b style='font-size:18pt;color:#24527a'>Orvane·Zentrel</b><br>"
                                  "dedeCMS门户站群批量更新文章的软件"));
    row->addWidget(brand);
    row->addStretch(1);
    struct Pair {
        const char* picture;
        const char* link;
        QString caption;
        QStyle::StandardPixmap icon;
        void (MainWindow::*action)();
    };
    const Pair pairs[] = {
        {"图片全局保存", "链接全局保存", QStringLiteral("全局保存"), QStyle::SP_DialogSaveButton,
         &MainWindow::globalSave},
        {"图片疑点说明", "链接疑点说明", QStringLiteral("疑点说明"), QStyle::SP_MessageBoxQuestion,
         &MainWindow::showHelp},
        {"图片框计划", "超级链接框计划", QStringLiteral("计划任务"), QStyle::SP_FileDialogDetailedView,
         &MainWindow::openSchedule},
        {"图片框批处理", "超级链接框批处理", QStringLiteral("批处理工具"), QStyle::SP_DirIcon,
         &MainWindow::openBatchTools},
    };
    for (const Pair& pair : pairs) {
        auto* box = new QVBoxLayout;
        auto* picture = named(new QLabel, QString::fromUtf8(pair.picture));
        picture->setPixmap(style()->standardIcon(pair.icon).pixmap(32, 32));
        picture->setAlignment(Qt::AlignCenter);
        picture->setCursor(Qt::PointingHandCursor);
        picture->installEventFilter(this);
        m_header[picture] = {pair.action, false};
        auto* link = named(new QLabel(QStringLiteral("<a href='#'>%1</a>").arg(pair.caption)),
                           QString::fromUtf8(pair.link));
        link->setAlignment(Qt::AlignCenter);
        // Tab reaches the link, Enter follows it.
        link->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
        link->setAccessibleName(pair.caption);
        const auto action = pair.action;
        connect(link, &QLabel::linkActivated, this, [this, action] { (this->*action)(); });
        if (pair.action == &MainWindow::globalSave) m_saveLink = link;
        link->installEventFilter(this);
        m_header[link] = {pair.action, true};
        box->addWidget(picture);
        box->addWidget(link);
        row->addLayout(box);
        row->addSpacing(18);
    }
    return strip;
}

void MainWindow::buildTray() {
    m_tray = new QSystemTrayIcon(windowIcon(), this);
    m_tray->setToolTip(QStringLiteral("Orvane·Zentrel"));
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) {
            setVisible(!isVisible());
            if (isVisible()) {
                raise();
                activateWindow();
            }
        } else if (reason == QSystemTrayIcon::Context) {
            if (m_services.dialogs->message(this, QStringLiteral("确定要退出本软件《Orvane·Zentrel》吗？"),
                                            {}, Dialogs::Buttons::OkCancel,
                                            Dialogs::Icon::Question) == Dialogs::Answer::Ok)
                close();
        }
    });
    if (QSystemTrayIcon::isSystemTrayAvailable()) m_tray->show();
}

void MainWindow::buildLogWindow() {
    m_logWindow = new LogWindow(*m_services.desktop, this);
    m_logWindow->setWindowFlag(Qt::Window);
    m_logWindow->hide();
    connect(m_logWindow, &LogWindow::closedByUser, this, [this] { m_runBar->setLogShown(false); });
    WindowRun& run = m_runBar->run();
    connect(&run, &WindowRun::logOpened, this, [this](const QString& file) {
        m_logWindow->startLog(file);
        m_runBar->setLogShown(true);
        m_logWindow->showAndRaise();
    });
    connect(&run, &WindowRun::logLine, this,
            [this](const engine::LogEntry& entry) { m_logWindow->append(entry); });
}

void MainWindow::refreshFrameTitle(int count) {
    m_siteFrame->setTitle(
        QStringLiteral("dedeCMS网站列表(%1) - "
                       "每个站点独立配置，因此任何参数改动请点击[修改]按钮来保存当前配置到该站点")
            .arg(count));
}

// ---- the site list, as the panels and the batch tools see it ---------------------------------

const config::SiteList& MainWindow::siteList() const { return m_sites->list(); }

config::SiteConfig MainWindow::formSite() const {
    config::SiteConfig site = m_form->readSite();
    m_categories->storeTree(site);
    return site;
}

config::RunOptions MainWindow::runOptions() const {
    config::RunOptions options = readOptionFields(m_central, m_options);
    readMenuChecks(m_runBar->refreshMenu(), options);
    options.importPath = m_sites->importPath();
    options.exportPath = m_sites->exportPath();
    return options;
}

bool MainWindow::isRunning() const { return m_runBar->isRunning(); }

void MainWindow::appendSites(const std::vector<config::SiteConfig>& sites) { m_sites->appendSites(sites); }

void MainWindow::storeSiteTree(int row, const config::SiteConfig& record) {
    m_sites->storeSiteTree(row, record);
}

void MainWindow::selectSite(int row) { m_sites->selectSite(row); }

void MainWindow::setSiteEditingEnabled(bool enabled) {
    for (const char* name : kRunLockedControls)
        if (QWidget* w = child(m_central, name)) w->setEnabled(enabled);
}

int MainWindow::saveSite(bool modify, int index, bool silent) {
    return m_sites->saveSite(modify, index, silent);
}

void MainWindow::showSite(int row) {
    const config::SiteList& list = m_sites->list();
    if (row < 0 || row >= list.size()) {
        m_form->applyEnabling();
        return;
    }
    const config::SiteConfig& site = list.sites[static_cast<std::size_t>(row)];
    m_categories->showTree(site);
    m_form->showSite(site);
}

bool MainWindow::isBatchBusy() const { return m_batchWindow != nullptr && m_batchWindow->isBusy(); }

void MainWindow::storeChecks(const std::vector<int>& rows) {
    config::SettingsFile& settings = m_settings.file();
    settings.beginBatch();
    for (int row : rows)
        config::saveSiteEnabled(settings, row + 1,
                                m_sites->list().sites[static_cast<std::size_t>(row)].enabled);
    if (!settings.endBatch()) reportSaveFailure(*m_services.dialogs, this, saveError());
}

// ---- start-up, save, exit -------------------------------------------------------------------

void MainWindow::loadStartup() {
    m_options = config::loadRunOptions(m_settings.file(), config::RunOptions{});
    showOptionFields(m_central, m_options);
    showMenuChecks(m_runBar->refreshMenu(), m_options);
    m_sites->setFilePaths(m_options.importPath, m_options.exportPath);
    m_form->applyEnabling();
    config::SiteList list;
    const int current = config::loadSiteList(m_settings.file(), list);
    m_sites->loadList(std::move(list), current);
}

void MainWindow::globalSave() {
    if (m_settings.isSaving()) return;
    m_saveLink->setText(QStringLiteral("<a href='#'>保存中..</a>"));
    // What is saved is taken now; the writing (a tenth of a second and more with a thousand sites)
    // goes on off this thread.
    m_settings.saveInBackground(
        [options = runOptions(), list = m_sites->listForSave()](config::SettingsFile& file) {
            return config::globalSave(file, options, list);
        },
        [this](bool saved) {
            m_saveLink->setText(QStringLiteral("<a href='#'>全局保存</a>"));
            if (saved) {
                m_services.dialogs->message(this, QStringLiteral("已保存所有数据！"));
            } else {
                reportSaveFailure(*m_services.dialogs, this, saveError());
            }
        });
}

QString MainWindow::saveForExit() {
    const config::SiteList list = m_sites->listForSave();
    config::SettingsFile& settings = m_settings.file();
    settings.beginBatch();
    config::globalSave(settings, runOptions(), list);
    deleteStaleSites(settings, list.size());
    // An open batch tools window keeps its state as if it had been closed.
    if (m_batchWindow != nullptr && m_batchWindow->isVisible()) m_batchWindow->saveState();
    QStringList problems;
    if (!settings.endBatch()) problems << saveError();
    if (m_scheduleWindow != nullptr && !m_scheduleWindow->saveSchedule())
        problems << QStringLiteral("无法写入计划任务文件：") + m_scheduleWindow->scheduleFile();
    return problems.join(QStringLiteral("\r\n"));
}

// What the settings file says of a failed save, and the cause behind it when the data folder
// cannot be written (a file opened read-only for that reason says only that).
QString MainWindow::saveError() const {
    QString error = QString::fromStdString(m_settings.file().lastError());
    if (const QString problem = folderProblem(); !problem.isEmpty())
        error += QStringLiteral("\r\n") + problem;
    return error;
}

QString MainWindow::folderProblem() const {
    const QFileInfo folder(QString::fromStdString(text::pathText(m_services.dataDir)));
    if (folder.isWritable()) return {};
    return QStringLiteral("数据文件夹不可写，设置、日志和记录将无法保存：") + folder.filePath();
}

// The data folder or the settings file cannot be written: said once, when the window first shows.
QString MainWindow::writeProblem() const {
    const QFileInfo file(QString::fromStdString(text::pathText(m_settings.file().path())));
    constexpr auto kAnyWrite = QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (file.exists() && (!file.isWritable() || (file.permissions() & kAnyWrite) == 0))
        return QStringLiteral("设置文件是只读的，设置和站点的改动将无法保存：") + file.filePath();
    return folderProblem();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shownOnce) return;
    m_shownOnce = true;
    if (const QString problem = writeProblem(); !problem.isEmpty()) {
        QTimer::singleShot(0, this, [this, problem] {
            m_services.dialogs->message(this, problem, {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
        });
    }
    if (!m_options.autoStartSchedule) return;
    // After the main window is on screen, so the schedule window opens over it.
    QTimer::singleShot(0, this, [this] {
        ScheduleWindow* window = ensureScheduleWindow();
        window->show();
        if (window->state() == schedule::SchedulerState::Stopped) window->startOrStopSchedule();
    });
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (isRunning() && m_services.dialogs->message(
                           this, QStringLiteral("当前正在更新中，请问是否还继续退出？"), {},
                           Dialogs::Buttons::YesNo, Dialogs::Icon::Question) != Dialogs::Answer::Yes) {
        event->ignore();
        return;
    }
    // A batch action asks as a run does; on yes it stops as its button's second click stops it,
    // and its report goes into the log.
    if (!isRunning() && isBatchBusy() &&
        m_services.dialogs->message(this, QStringLiteral("当前正在处理中，请问是否还继续退出？"), {},
                                    Dialogs::Buttons::YesNo,
                                    Dialogs::Icon::Question) != Dialogs::Answer::Yes) {
        event->ignore();
        return;
    }
    m_exiting = true;
    // A category reading is cut off at once: its thread would keep the program (and the settings
    // lock) alive until its request timed out.
    m_categories->abortReading();
    hide();
    m_logWindow->hide();
    if (m_scheduleWindow != nullptr) m_scheduleWindow->hide();
    // A run still going is cut off (its summary is still written) before the settings are saved.
    WindowRun& run = m_runBar->run();
    if (run.isRunning()) {
        run.abortNow();
        run.waitFor(std::chrono::milliseconds(1000));
    }
    if (m_batchWindow != nullptr) m_batchWindow->stopForExit();
    // A failed save is said, with the choice to try again (after freeing the folder, say) or to
    // quit without it.
    for (QString problem = saveForExit(); !problem.isEmpty(); problem = saveForExit()) {
        if (m_services.dialogs->message(
                this,
                QStringLiteral("退出前保存失败：") + problem +
                    QStringLiteral("\r\n\n点“重试”再保存一次；点“忽略”不保存就退出，本次的改动将丢失。"),
                {}, Dialogs::Buttons::RetryIgnore, Dialogs::Icon::Warning) != Dialogs::Answer::Retry)
            break;
    }
    m_tray->hide();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // A click on a header picture, or Enter on its link (however the focus came there), does what
    // the link does.
    if (const auto entry = m_header.find(watched); entry != m_header.end()) {
        const auto [action, isLink] = entry->second;
        // Tab leaves a link at once: the label took the first press to focus the link inside it.
        if (isLink && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool back = key->key() == Qt::Key_Backtab ||
                              (key->key() == Qt::Key_Tab && key->modifiers().testFlag(Qt::ShiftModifier));
            if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
                (key->modifiers() & ~Qt::ShiftModifier) == Qt::NoModifier) {
                focusNextPrevChild(!back);
                return true;
            }
        }
        bool enter = false;
        if (isLink && event->type() == QEvent::KeyPress) {
            enter = isEnterKey(static_cast<QKeyEvent*>(event)->key());
        }
        if (enter || (!isLink && event->type() == QEvent::MouseButtonRelease)) {
            (this->*action)();
            return enter;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- other windows ----------------------------------------------------------------------------

void MainWindow::showHelp() { showHelpText(this, *m_services.dialogs); }

ScheduleWindow* MainWindow::ensureScheduleWindow() {
    if (m_scheduleWindow != nullptr) return m_scheduleWindow;
    ScheduleHooks hooks;
    hooks.isRunActive = [this] { return isRunning(); };
    // A scheduled start finds the program busy as it may find a run going: it is left out.
    hooks.startRun = [this](content::ListingMethod listing) {
        if (!isRunning() && !isBatchBusy()) m_runBar->startRun(listing, true);
    };
    hooks.saveOptions = [this](const ScheduleOptions& options) {
        m_options.scheduleCompleteListing = options.completeListing;
        m_options.autoStartSchedule = options.autoStart;
        config::SettingsFile& settings = m_settings.file();
        config::saveScheduleOptions(settings, m_options);
        settings.setSection(config::kRunOptionsSection);
        settings.writeBool(kScheduleDateKey, options.dateChecked);
    };
    m_scheduleWindow = new ScheduleWindow(m_services, std::move(hooks), this);
    config::SettingsFile& settings = m_settings.file();
    settings.setSection(config::kRunOptionsSection);
    m_scheduleWindow->loadSchedule({m_options.scheduleCompleteListing, m_options.autoStartSchedule,
                                    settings.readBool(kScheduleDateKey, false)});
    return m_scheduleWindow;
}

void MainWindow::openSchedule() {
    ScheduleWindow* window = ensureScheduleWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void MainWindow::toggleLogWindow() {
    const bool show = !m_runBar->isLogShown();
    m_runBar->setLogShown(show);
    if (show) {
        m_logWindow->showAndRaise();
    } else {
        m_logWindow->hide();
    }
}

// The batch tools window: made on the first opening, then shown again with its state.
void MainWindow::openBatchTools() {
    if (m_batchWindow == nullptr) m_batchWindow = new BatchToolsWindow(*this, this, m_settings, m_services);
    m_batchWindow->show();
    m_batchWindow->raise();
    m_batchWindow->activateWindow();
}

// ---- runs -------------------------------------------------------------------------------------

void MainWindow::onRunningChanged(bool running) {
    setSiteEditingEnabled(!running);
    m_sites->setRunning(running);
}

void MainWindow::onRunEnded(const engine::RunTotals& totals) {
    if (m_exiting) return;
    // A scheduled run closes its log view and shows no message; with 更新完成关机 it ends in the
    // countdown as any run does, so an unattended machine goes off.
    if (totals.scheduled && m_runBar->isLogShown()) toggleLogWindow();
    if (runOptions().shutdownWhenDone) {
        // The global save first (without its box), then the countdown instead of the message. A
        // failed save is said only when the machine stays on: a box would hold the power-off.
        const bool saved = config::globalSave(m_settings.file(), runOptions(), m_sites->listForSave());
        if (!CountdownWindow::shutdownCountdown(this, m_services) && !saved)
            reportSaveFailure(*m_services.dialogs, this, saveError());
    } else if (!totals.scheduled) {
        // A stopped run says so where a finished one says "更新完成！".
        QString message = QString::fromStdString(engine::completionMessage(totals));
        if (m_runBar->stopAsked())
            message.replace(QStringLiteral("更新完成！"), QStringLiteral("已停止更新！"));
        m_services.dialogs->message(this, message);
    }
    emit runFinished();
}

}  // namespace oz::ui
