#pragma once

#include <QString>
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include "backend/batch_site_loop.h"
#include "ui/site_list_access.h"
#include "ui/text_dialog.h"
#include "ui/ui_services.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace oz::ui {

class PinyinWindow;
class RandomTextWindow;
class SharedSettings;

// "批处理工具": the operations that act on many sites of the main window's list at once, which it
// reaches through SiteListAccess. One at a time runs on a worker thread; its button shows the
// progress and a second click stops it. The controls are loaded from the section "批处理工具" when
// the window is made and saved there when it is closed. A top-level window owned by `owner`.
class BatchToolsWindow : public QWidget {
    Q_OBJECT
   public:
    BatchToolsWindow(SiteListAccess& sites, QWidget* owner, SharedSettings& settings,
                     const UiServices& services);
    ~BatchToolsWindow() override;

    bool isBusy() const { return m_worker.joinable(); }
    // The program is closing during an action: stops it as a second click on its button does,
    // waits for the request on the wire, and writes the action's report into a log file of the
    // data folder (日志/) instead of showing it. Returns that file; empty when nothing ran or the
    // file could not be written.
    std::filesystem::path stopForExit();
    // Writes the controls to the section "批处理工具" (done on close, and by the main window's exit);
    // false when the settings file refused it (its lastError() says why).
    bool saveState();

   protected:
    void closeEvent(QCloseEvent* event) override;

   signals:
    // An action ended and its report (if any) was closed.
    void actionFinished();

   protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

   private:
    using Work = std::function<backend::BatchReport(const std::vector<backend::BatchTarget>&,
                                                    const backend::BatchEnvironment&)>;
    // The confirmation asked before an action, given how many sites the scope holds; empty: none.
    using Question = std::function<QString(int sites)>;
    // How an action's report is shown: in the text window titled after it, or in a message box with
    // the failures (if any) in a text window under the failure title as hint.
    enum class ReportStyle { TextWindow, MessageBox };
    struct Action {
        QPushButton* button = nullptr;
        QString idleCaption;
        QString stoppingCaption = QStringLiteral("正在停止中..");
        ReportStyle style = ReportStyle::TextWindow;
        bool overSites = true;  // works on the scope's sites (the bulk import makes its own)
    };

    void buildControls();
    void applyCountRule();
    backend::BatchScope scope() const;
    // A click on an action's button: a running action is asked to stop. Otherwise true when a new
    // one may start (nothing else runs); tells the operator when a publishing run is going.
    bool mayStart(const Action& action);
    // Asks the question (when there is one), then runs `work` over the scope's sites on a worker
    // thread. An action over sites whose scope holds none says so and does not start.
    void start(const Action& action, const Question& question, Work work);
    void finished(const Action& action, const backend::BatchReport& report);
    void setRunning(bool running);
    void joinWorker();
    // Edits a hidden list box in the text window: the list entered, nothing when the operator
    // cancelled.
    std::optional<QString> editList(QPlainTextEdit* box, const QString& hint, const QString& title,
                                    const TextDialogOptions& options = {});

    // The id a box holds; nullopt (and said) when it holds no whole number.
    std::optional<int> idIn(const QLineEdit* box, const QString& caption);
    void deleteArticles();
    void deleteCategories();
    void createCategories(bool fromFiles);
    void rewriteHomePages();
    void importSites();
    void readCategoryLists();

    SiteListAccess& m_sites;
    SharedSettings& m_settings;
    UiServices m_services;
    std::thread m_worker;
    // A stop lets the request on the wire finish, so its effect is counted; only the window's end
    // aborts it.
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_abort{false};
    std::atomic<bool> m_workerDone{false};  // the worker has its report
    Action m_running;                       // the action on the worker thread (its button is null when none)
    // The report of the action that ended last, kept by the worker for stopForExit.
    std::mutex m_reportMutex;
    std::optional<backend::BatchReport> m_lastReport;
    bool m_exiting = false;  // stopForExit ran: a report still queued is not shown

    QRadioButton* m_scopeCurrent = nullptr;
    QRadioButton* m_scopeChecked = nullptr;
    QRadioButton* m_scopeAll = nullptr;
    QButtonGroup* m_scopeGroup = nullptr;
    QPushButton* m_deleteArticles = nullptr;
    QLineEdit* m_articleFrom = nullptr;
    QLineEdit* m_articleTo = nullptr;
    QPushButton* m_deleteCategories = nullptr;
    QLineEdit* m_categoryFrom = nullptr;
    QLineEdit* m_categoryTo = nullptr;
    QCheckBox* m_deleteFiles = nullptr;
    QCheckBox* m_refreshLists = nullptr;
    QPushButton* m_createCategories = nullptr;
    QCheckBox* m_showCreated = nullptr;
    QLineEdit* m_parentId = nullptr;
    QLineEdit* m_parentDir = nullptr;
    QPlainTextEdit* m_categoryList = nullptr;
    QCheckBox* m_changeTemplet = nullptr;
    QLineEdit* m_templet = nullptr;
    QCheckBox* m_changePosition = nullptr;
    QLineEdit* m_position = nullptr;
    QPushButton* m_rewrite = nullptr;
    QComboBox* m_countMode = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_read = nullptr;
    QCheckBox* m_readLists = nullptr;
    QCheckBox* m_checkAll = nullptr;
    QCheckBox* m_skipRead = nullptr;
    QLineEdit* m_delay = nullptr;
    QPlainTextEdit* m_domainList = nullptr;
    QLineEdit* m_countMin = nullptr;
    QLineEdit* m_countMax = nullptr;
    RandomTextWindow* m_randomText = nullptr;
    PinyinWindow* m_pinyin = nullptr;
};

}  // namespace oz::ui
