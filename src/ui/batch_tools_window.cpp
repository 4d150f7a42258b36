#include "ui/batch_tools_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <memory>
#include <mutex>
#include <vector>

#include "backend/article_deletion.h"
#include "backend/batch_category_read.h"
#include "backend/bulk_import.h"
#include "backend/category_creation.h"
#include "backend/category_deletion.h"
#include "backend/homepage_rewrite.h"
#include "backend/run_settings.h"
#include "backend/site_form.h"
#include "config/atomic_file.h"
#include "config/settings_file.h"
#include "config/site_import.h"
#include "config/site_line.h"
#include "engine/run_log.h"
#include "text/charset.h"
#include "text/path_text.h"
#include "ui/background_work.h"
#include "ui/batch_progress.h"
#include "ui/control_state.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/pinyin_window.h"
#include "ui/random_text_window.h"
#include "ui/shared_settings.h"

namespace oz::ui {

namespace {

const QString kSection = QStringLiteral("批处理工具");
const QString kStopping = QStringLiteral("正在停止中..");
// How long the program's close waits for the request on the wire before cutting it off.
constexpr int kExitGraceMs = 5000;
const QString kCreateHint = QStringLiteral(
    "请输入栏目名列表，一行一个，将创建在父栏目ID之下，父栏目ID为0则创建的栏目均为顶级栏目。点击确定后开始创"
    "建：\r\n"
    "（如果 每个站点创建不同栏目 ，则这里的栏目列表循环创建于不同站点）\r\n\r\n"
    "数据格式：栏目名称|文件保存目录|列表模板|SEO标题|关键字|栏目属性|栏目描述|文章命名规则|列表命名规则|"
    "文章模板\r\n\r\n"
    "留空的项目使用默认值。栏目属性：1、最终列表栏目 2、频道封面 3、外部连接");
const char* const kSiteListFile = "站点列表.txt";

int intOf(const QLineEdit* edit) { return edit->text().trimmed().toInt(); }

}  // namespace

BatchToolsWindow::BatchToolsWindow(SiteListAccess& sites, QWidget* owner, SharedSettings& settings,
                                   const UiServices& services)
    : QWidget(owner, Qt::Window), m_sites(sites), m_settings(settings), m_services(services) {
    setWindowTitle(kSection);
    resize(504, 696);
    buildControls();
    fitToScreen(this);
    loadWindow(m_settings.file(), this, kSection);
    applyCountRule();
    readyForKeyboard(this);
}

BatchToolsWindow::~BatchToolsWindow() {
    m_stop = true;
    m_abort = true;
    joinWorker();
}

backend::BatchScope BatchToolsWindow::scope() const {
    if (m_scopeCurrent->isChecked()) return backend::BatchScope::Current;
    if (m_scopeAll->isChecked()) return backend::BatchScope::All;
    return backend::BatchScope::Checked;
}

std::optional<int> BatchToolsWindow::idIn(const QLineEdit* box, const QString& caption) {
    bool number = false;
    const int id = box->text().trimmed().toInt(&number);
    if (number) return id;
    m_services.dialogs->message(this, caption + QStringLiteral("必须是数字：") + box->text(), {},
                                Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    return std::nullopt;
}

void BatchToolsWindow::deleteArticles() {
    const Action action{m_deleteArticles, QString::fromUtf8(backend::kDeleteArticlesCaption)};
    if (!mayStart(action)) return;
    backend::DeleteArticlesOptions options;
    const std::optional<int> from = idIn(m_articleFrom, QStringLiteral("起始ID"));
    const std::optional<int> to = from ? idIn(m_articleTo, QStringLiteral("终止ID")) : std::nullopt;
    if (!to) return;
    options.from = *from;
    options.to = *to;
    options.refreshLists = m_refreshLists->isChecked();
    start(
        action,
        [this, options](int sites) {
            return QString::fromStdString(backend::deleteArticlesQuestion(options, scope(), sites));
        },
        [options](const auto& targets, const auto& env) {
            return backend::deleteArticles(targets, options, env);
        });
}

void BatchToolsWindow::deleteCategories() {
    const Action action{m_deleteCategories, QString::fromUtf8(backend::kDeleteCategoriesCaption)};
    if (!mayStart(action)) return;
    backend::DeleteCategoriesOptions options;
    const std::optional<int> from = idIn(m_categoryFrom, QStringLiteral("起始ID"));
    const std::optional<int> to = from ? idIn(m_categoryTo, QStringLiteral("终止ID")) : std::nullopt;
    if (!to) return;
    options.from = *from;
    options.to = *to;
    options.deleteFiles = m_deleteFiles->isChecked();
    options.refreshLists = m_refreshLists->isChecked();
    start(
        action,
        [this, options](int sites) {
            return QString::fromStdString(backend::deleteCategoriesQuestion(options, scope(), sites));
        },
        [options](const auto& targets, const auto& env) {
            return backend::deleteCategories(targets, options, env);
        });
}

void BatchToolsWindow::createCategories(bool fromFiles) {
    const Action action{m_createCategories, QString::fromUtf8(backend::kCreateCategoriesCaption)};
    if (!mayStart(action)) return;
    backend::CreateCategoriesOptions options;
    if (fromFiles) {
        const QStringList names = m_services.dialogs->openFileNames(
            this, QStringLiteral("选择多个文件，文件名为父id，文件内容为要创建的栏目列表"),
            QStringLiteral("*.txt (*.txt);;所有文件 (*.*)"), {});
        if (names.isEmpty()) return;
        std::vector<std::filesystem::path> files;
        for (const QString& name : names) files.emplace_back(name.toStdString());
        std::string problem;
        if (!backend::categoryLinesFromFiles(files, options.lines, problem)) {
            m_services.dialogs->message(this, QString::fromStdString(problem), {}, Dialogs::Buttons::Ok,
                                        Dialogs::Icon::Warning);
            return;
        }
    } else {
        const std::optional<int> parent = idIn(m_parentId, QStringLiteral("父栏ID"));
        if (!parent) return;
        const std::optional<QString> list = editList(m_categoryList, kCreateHint, QStringLiteral("创建栏目"));
        if (!list) return;
        options.lines = backend::categoryLinesFromText(list->toStdString(), *parent);
    }
    options.parentDir = m_parentDir->text().toStdString();
    options.mode = m_countMode->currentIndex() == 1 ? 1 : 0;
    options.countMin = intOf(m_countMin);
    options.countMax = intOf(m_countMax);
    options.visible = m_showCreated->isChecked();
    // The category kinds carry no item data of their own, so "0" goes out for each of them.
    options.isDefault = "0";
    options.refreshLists = m_refreshLists->isChecked();
    start(action, {}, [options](const auto& targets, const auto& env) {
        return backend::createCategories(targets, options, env);
    });
}

void BatchToolsWindow::rewriteHomePages() {
    Action action{m_rewrite, QString::fromUtf8(backend::kRewriteHomePagesCaption)};
    action.stoppingCaption = QStringLiteral("停止中..");
    if (!mayStart(action)) return;
    backend::RewriteHomePagesOptions options;
    if (m_changeTemplet->isChecked()) options.templet = m_templet->text().toStdString();
    if (m_changePosition->isChecked()) options.position = m_position->text().toStdString();
    start(
        action, [this](int) { return QString::fromStdString(backend::rewriteHomePagesQuestion(scope())); },
        [options](const auto& targets, const auto& env) {
            return backend::rewriteHomePages(targets, options, env);
        });
}

void BatchToolsWindow::importSites() {
    const Action action{m_import, QString::fromUtf8(backend::kBulkImportCaption), kStopping,
                        ReportStyle::MessageBox, false};
    if (!mayStart(action)) return;
    TextDialogOptions dialog;
    // The list file an operator keeps beside the settings, offered by "恢复".
    std::string unread;
    const std::filesystem::path keptFile = m_services.dataDir / kSiteListFile;
    if (std::optional<std::string> kept = config::readWholeFile(keptFile, unread)) {
        if (std::optional<std::string> text = text::operatorFileText(*kept)) {
            dialog.restoreValue = QString::fromStdString(*text);
        } else {
            m_services.dialogs->message(this,
                                        QStringLiteral("站点列表文件不是可读的文本（请存为 UTF-8、GBK 或 "
                                                       "Unicode），“恢复”不会用它：") +
                                            QString::fromStdString(text::pathText(keptFile)),
                                        {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
        }
    }
    dialog.extraWidth = 215;  // a text area of about 700 pixels, so that a whole site line fits
    const std::optional<QString> lines =
        editList(m_domainList, QString::fromUtf8(config::kSiteLineHelp), action.idleCaption, dialog);
    if (!lines) return;

    const std::string text = lines->toStdString();
    config::SiteConfig window = m_sites.formSite();
    // A new site starts without categories: the ids of the site on show mean nothing on another one.
    window.categoryTree.clear();
    window.categoryIds.clear();
    window.categoryCurrentItem = 0;
    backend::BulkImportOptions options;
    options.readCategories = m_readLists->isChecked();
    options.checkAll = m_checkAll->isChecked();
    options.delaySeconds = std::max(0.0, m_delay->text().trimmed().toDouble());
    // The worker adds to a copy of the list (made once: a thousand sites take a while to copy);
    // the window's own list, locked meanwhile, takes each site as it comes, so both agree on every
    // index.
    start(action, {},
          [this, list = std::make_shared<config::SiteList>(m_sites.siteList()), text, window, options](
              const auto&, const auto& env) {
              // The sites wait here and reach the window's list together, one queued call for all
              // that came meanwhile: a call per site held the window up once a thousand queued up.
              // Calls queued to the window die with it; it joins this thread before it goes.
              struct Waiting {
                  std::mutex mutex;
                  std::vector<config::SiteConfig> sites;
              };
              auto waiting = std::make_shared<Waiting>();
              const auto append = [this, waiting](int, const config::SiteConfig& site) {
                  bool first = false;
                  {
                      std::lock_guard lock(waiting->mutex);
                      first = waiting->sites.empty();
                      waiting->sites.push_back(site);
                  }
                  if (!first) return;
                  QMetaObject::invokeMethod(
                      this,
                      [this, waiting] {
                          std::vector<config::SiteConfig> sites;
                          {
                              std::lock_guard lock(waiting->mutex);
                              sites.swap(waiting->sites);
                          }
                          m_sites.appendSites(sites);
                      },
                      Qt::QueuedConnection);
              };
              const config::BulkImportResult result =
                  backend::bulkImport(*list, text, window, options, env, append);
              backend::BatchReport report;
              report.report = config::bulkImportSummary(result, *list);
              report.failureTitle = "这是导入失败的站点信息：";
              // Each with its reason, and its password masked as the command line does.
              report.failures = config::bulkImportFailures(result, "\r\n");
              report.stopped = result.stopped;
              return report;
          });
}

void BatchToolsWindow::readCategoryLists() {
    const Action action{m_read, QString::fromUtf8(backend::kBatchReadCaption), kStopping,
                        ReportStyle::MessageBox};
    if (!mayStart(action)) return;
    backend::BatchReadOptions options;
    options.skipRead = m_skipRead->isChecked();
    options.checkAll = m_checkAll->isChecked();
    const QString question = QStringLiteral("确定要读取") + QString::fromUtf8(backend::scopeLabel(scope())) +
                             QStringLiteral("的栏目列表？");
    start(
        action, [question](int) { return question; },
        [this, options](const auto& targets, const auto& env) {
            const auto store = [this](int index, const config::SiteConfig& record) {
                QMetaObject::invokeMethod(
                    this, [this, index, record] { m_sites.storeSiteTree(index - 1, record); },
                    Qt::QueuedConnection);
            };
            backend::BatchReport report = backend::readCategoryLists(targets, options, env, store);
            // The box only says the reading is done; the sites it could not read follow in a text window.
            report.report = report.title;
            return report;
        });
}

std::optional<QString> BatchToolsWindow::editList(QPlainTextEdit* box, const QString& hint,
                                                  const QString& title, const TextDialogOptions& options) {
    QString text = boxText(box);
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    if (!showTextDialog(text, hint, title, this, *m_services.dialogs, options)) return std::nullopt;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    // The hidden box keeps the list for the next time (a long one goes in off this thread).
    setBoxText(box, text);
    return text;
}

bool BatchToolsWindow::mayStart(const Action& action) {
    if (isBusy()) {
        if (action.button == m_running.button) {
            action.button->setText(action.stoppingCaption);
            m_stop = true;
        }
        return false;
    }
    if (m_sites.isRunning()) {
        m_services.dialogs->message(this,
                                    QStringLiteral("站群更新正在进行，请等它完成或停止后再执行批处理。"));
        return false;
    }
    return true;
}

void BatchToolsWindow::start(const Action& action, const Question& question, Work work) {
    std::vector<backend::BatchTarget> targets;
    if (action.overSites) {
        targets = backend::batchTargets(m_sites.siteList(), scope(), backend::formOfSite(m_sites.formSite()));
        if (targets.empty()) {
            m_services.dialogs->message(this,
                                        QStringLiteral("执行批处理的网站（") +
                                            QString::fromStdString(backend::scopeLabel(scope())) +
                                            QStringLiteral("）中没有网站，没有执行。"),
                                        {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
            return;
        }
    }
    const QString text = question ? question(static_cast<int>(targets.size())) : QString();
    if (!text.isEmpty() && m_services.dialogs->message(this, text, {}, Dialogs::Buttons::OkCancel,
                                                       Dialogs::Icon::Question) != Dialogs::Answer::Ok) {
        return;
    }
    const config::RunOptions options = m_sites.runOptions();
    const std::filesystem::path dataDir = m_services.dataDir;
    const text::Clock* clock = m_services.clock;

    m_stop = false;
    m_abort = false;
    m_workerDone = false;
    m_running = action;
    setRunning(true);
    auto observer = std::make_shared<BatchProgress>(action.button, action.stoppingCaption, this, m_sites);
    m_worker = std::thread([this, action, work = std::move(work), targets = std::move(targets), options,
                            dataDir, clock, observer] {
        giveWayToTheWindowThread();
        backend::OptionsRunSettings settings(options);
        backend::BatchEnvironment env;
        env.backend.settings = &settings;
        env.backend.dataDir = dataDir;
        env.backend.clock = clock;
        env.backend.abort = &m_stop;
        env.stop = &m_stop;
        env.abortRequests = &m_abort;
        env.observer = observer.get();
        backend::BatchReport report = work(targets, env);
        {
            std::lock_guard lock(m_reportMutex);
            m_lastReport = report;
        }
        m_workerDone = true;
        // The window joins this thread before it goes, so `this` is alive while the call is queued.
        QMetaObject::invokeMethod(
            this, [this, action, report = std::move(report)] { finished(action, report); },
            Qt::QueuedConnection);
    });
}

void BatchToolsWindow::finished(const Action& action, const backend::BatchReport& report) {
    joinWorker();
    if (m_exiting) return;  // its report went into the log
    m_running = {};
    action.button->setText(action.idleCaption);
    action.button->setToolTip({});
    setWindowTitle(BatchProgress::idleTitle());
    setRunning(false);
    TextDialogOptions display;
    display.inputMode = false;
    const bool messageBox = action.style == ReportStyle::MessageBox;
    // A stopped operation's report says so before anything else.
    QString text = QString::fromStdString(report.report);
    if (report.stopped)
        text.prepend(QStringLiteral("已停止：没有做完全部站点，以下是停止前的结果。\r\n\r\n"));
    if (messageBox) {
        m_services.dialogs->message(this, text);
    } else {
        const QString title =
            report.stopped ? QStringLiteral("已停止！") : QString::fromStdString(report.title);
        showTextDialog(text, {}, title, this, *m_services.dialogs, display);
    }
    if (!report.failures.empty()) {
        QString failures = QString::fromStdString(report.failures);
        const QString heading = QString::fromStdString(report.failureTitle);
        // After a message box the heading is the text window's hint, after a report its title.
        showTextDialog(failures, messageBox ? heading : QString(), messageBox ? QString() : heading, this,
                       *m_services.dialogs, display);
    }
    emit actionFinished();
}

void BatchToolsWindow::setRunning(bool running) {
    m_sites.setSiteEditingEnabled(!running);
    for (QRadioButton* radio : {m_scopeCurrent, m_scopeChecked, m_scopeAll}) radio->setEnabled(!running);
    // One operation at a time: the others' buttons are off meanwhile; the running one stops it.
    for (QPushButton* button :
         {m_deleteArticles, m_deleteCategories, m_createCategories, m_rewrite, m_import, m_read}) {
        button->setEnabled(!running || button == m_running.button);
    }
}

std::filesystem::path BatchToolsWindow::stopForExit() {
    if (!isBusy()) return {};
    m_exiting = true;
    const QString caption = m_running.idleCaption;
    // As the stop button does: the request on the wire ends and is counted. One that does not end
    // within the grace is cut off, so the program does not wait for a server that never answers.
    m_stop = true;
    QElapsedTimer waited;
    waited.start();
    while (!m_workerDone && waited.elapsed() < kExitGraceMs) QThread::msleep(20);
    m_abort = true;
    joinWorker();
    std::optional<backend::BatchReport> report;
    {
        std::lock_guard lock(m_reportMutex);
        report.swap(m_lastReport);
    }
    if (!report) return {};
    engine::RunLog log(m_services.dataDir,
                       m_services.clock != nullptr ? *m_services.clock : text::systemClock());
    if (!log.open({})) return {};
    log.logLine("批处理工具：" + caption.toStdString() + "（程序退出时停止）", 0);
    const auto logLines = [&log](const std::string& text) {
        for (std::size_t start = 0; start < text.size();) {
            const std::size_t end = std::min(text.find("\r\n", start), text.size());
            if (end > start) log.logLine(text.substr(start, end - start), 0);
            start = end + 2;
        }
    };
    logLines(report->report);
    if (!report->failures.empty()) {
        log.logLine(report->failureTitle, 0);
        logLines(report->failures);
    }
    const std::filesystem::path path = log.filePath();
    log.close();
    return path;
}

void BatchToolsWindow::joinWorker() {
    if (m_worker.joinable()) m_worker.join();
}

bool BatchToolsWindow::saveState() { return saveWindow(m_settings.file(), this, kSection); }

bool BatchToolsWindow::eventFilter(QObject* watched, QEvent* event) {
    // The right button's release, or the menu key (Shift+F10) for an operator without a mouse.
    const bool rightRelease = event->type() == QEvent::MouseButtonRelease &&
                              static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
    if (watched == m_createCategories && (rightRelease || isKeyboardMenu(event))) {
        createCategories(true);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void BatchToolsWindow::closeEvent(QCloseEvent* event) {
    if (isBusy()) m_stop = true;
    // The generator windows belong to this one: they close with it (and save their settings; one
    // closed before saved them then).
    if (m_pinyin != nullptr && m_pinyin->isVisible()) m_pinyin->close();
    if (m_randomText != nullptr && m_randomText->isVisible()) m_randomText->close();
    if (!saveState())
        reportSaveFailure(*m_services.dialogs, this, QString::fromStdString(m_settings.file().lastError()));
    QWidget::closeEvent(event);
}

}  // namespace oz::ui
