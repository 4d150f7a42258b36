#include "ui/batch_tools_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <memory>

#include "backend/article_deletion.h"
#include "backend/category_creation.h"
#include "backend/category_deletion.h"
#include "backend/homepage_rewrite.h"
#include "backend/run_settings.h"
#include "backend/site_form.h"
#include "config/settings_file.h"
#include "ui/control_state.h"
#include "ui/dialogs.h"
#include "ui/main_window.h"
#include "ui/pinyin_window.h"
#include "ui/random_text_window.h"
#include "ui/text_dialog.h"

namespace oz::ui {

namespace {

const QString kSection = QStringLiteral("批处理工具");
const QString kStopping = QStringLiteral("正在停止中..");
const QString kDifferentPerSite = QStringLiteral("每个站点创建不同栏目");
const QString kCreateHint = QStringLiteral(
    "请输入栏目名列表，一行一个，将创建在父栏目ID之下，父栏目ID为0则创建的栏目均为顶级栏目。点击确定后开始创"
    "建：\r\n"
    "（如果 每个站点创建不同栏目 ，则这里的栏目列表循环创建于不同站点）\r\n\r\n"
    "数据格式：栏目名称|文件保存目录|列表模板|SEO标题|关键字|栏目属性|栏目描述|文章命名规则|列表命名规则|"
    "文章模板\r\n\r\n"
    "留空的项目使用默认值。栏目属性：1、最终列表栏目 2、频道封面 3、外部连接");
const QString kNotYet = QStringLiteral("此功能尚未加入本版本。");

template <class Widget>
Widget* named(Widget* widget, const QString& name) {
    widget->setObjectName(name);
    return widget;
}

QLineEdit* numberBox(const QString& name, const QString& text) {
    auto* edit = named(new QLineEdit(text), name);
    edit->setMaximumWidth(70);
    return edit;
}

int intOf(const QLineEdit* edit) { return edit->text().trimmed().toInt(); }

// Hands the operation's captions to the window thread; the button may be gone by then.
class ButtonObserver final : public backend::BatchObserver {
   public:
    explicit ButtonObserver(QPushButton* button) : m_button(button) {}
    void caption(const std::string& text) override {
        QPointer<QPushButton> button = m_button;
        QMetaObject::invokeMethod(
            button.data(),
            [button, caption = QString::fromStdString(text)] {
                // A stop asked for stays visible until the operation has ended.
                if (button && button->text() != kStopping) button->setText(caption);
            },
            Qt::QueuedConnection);
    }

   private:
    QPointer<QPushButton> m_button;
};

}  // namespace

BatchToolsWindow::BatchToolsWindow(MainWindow& main, config::SettingsFile& settings,
                                   const UiServices& services)
    : QWidget(&main, Qt::Window), m_main(main), m_settings(settings), m_services(services) {
    setWindowTitle(kSection);
    resize(504, 696);
    buildControls();
    loadWindow(m_settings, this, kSection);
    applyCountRule();
}

BatchToolsWindow::~BatchToolsWindow() {
    m_stop = true;
    joinWorker();
}

void BatchToolsWindow::buildControls() {
    m_scopeCurrent = named(new QRadioButton(QStringLiteral("当前网站")), QStringLiteral("单选框选定"));
    m_scopeChecked = named(new QRadioButton(QStringLiteral("勾选网站")), QStringLiteral("单选框勾选"));
    m_scopeAll = named(new QRadioButton(QStringLiteral("全部网站")), QStringLiteral("单选框全部"));
    m_scopeChecked->setChecked(true);
    auto* scopeRow = new QHBoxLayout;
    scopeRow->addWidget(new QLabel(QStringLiteral("执行批处理的网站：")));
    for (QWidget* radio : std::initializer_list<QWidget*>{m_scopeCurrent, m_scopeChecked, m_scopeAll})
        scopeRow->addWidget(radio);
    scopeRow->addStretch();

    // 分组框1: deleting articles and categories, creating categories.
    auto* frame1 =
        named(new QGroupBox(QStringLiteral("批量删除文章、栏目或创建栏目")), QStringLiteral("分组框1"));
    auto* grid1 = new QGridLayout(frame1);
    m_deleteArticles = named(new QPushButton(QString::fromUtf8(backend::kDeleteArticlesCaption)),
                             QStringLiteral("按钮删除文章"));
    m_articleFrom = numberBox(QStringLiteral("编辑框起始ID"), QStringLiteral("1"));
    m_articleTo = numberBox(QStringLiteral("编辑框终止ID"), QStringLiteral("500"));
    auto* articles = new QHBoxLayout;
    articles->addWidget(new QLabel(QStringLiteral("起始ID：")));
    articles->addWidget(m_articleFrom);
    articles->addWidget(new QLabel(QStringLiteral("终止ID：")));
    articles->addWidget(m_articleTo);
    articles->addStretch();
    grid1->addWidget(m_deleteArticles, 0, 0);
    grid1->addLayout(articles, 0, 1);

    m_deleteCategories = named(new QPushButton(QString::fromUtf8(backend::kDeleteCategoriesCaption)),
                               QStringLiteral("按钮删除栏目"));
    m_categoryFrom = numberBox(QStringLiteral("编辑框起始ID1"), QStringLiteral("1"));
    m_categoryTo = numberBox(QStringLiteral("编辑框终止ID1"), QStringLiteral("500"));
    m_deleteFiles =
        named(new QCheckBox(QStringLiteral("删除该栏目下文章")), QStringLiteral("选择框删除文件"));
    auto* categories = new QHBoxLayout;
    categories->addWidget(new QLabel(QStringLiteral("起始ID：")));
    categories->addWidget(m_categoryFrom);
    categories->addWidget(new QLabel(QStringLiteral("终止ID：")));
    categories->addWidget(m_categoryTo);
    categories->addWidget(m_deleteFiles);
    categories->addStretch();
    grid1->addWidget(m_deleteCategories, 1, 0);
    grid1->addLayout(categories, 1, 1);

    m_createCategories = named(new QPushButton(QString::fromUtf8(backend::kCreateCategoriesCaption)),
                               QStringLiteral("按钮创建栏目"));
    auto* create = m_createCategories;
    m_showCreated = named(new QCheckBox(QStringLiteral("显示创建的栏目")), QStringLiteral("选择框显示栏目"));
    auto* showCreated = m_showCreated;
    auto* kind = named(new QComboBox, QStringLiteral("组合框栏目类型"));
    kind->addItems(
        {QStringLiteral("创建为静态栏目"), QStringLiteral("链接到第一页"), QStringLiteral("创建为动态栏目")});
    auto* createRow = new QHBoxLayout;
    createRow->addWidget(showCreated);
    createRow->addWidget(kind);
    createRow->addStretch();
    grid1->addWidget(create, 2, 0);
    grid1->addLayout(createRow, 2, 1);

    m_countMin = numberBox(QStringLiteral("编辑框栏目数1"), QStringLiteral("5"));
    m_countMax = numberBox(QStringLiteral("编辑框栏目数2"), QStringLiteral("10"));
    m_countMode = named(new QComboBox, QStringLiteral("组合框栏目方式"));
    m_countMode->addItems({QStringLiteral("所有站点创建相同栏目"), kDifferentPerSite});
    auto* counts = new QHBoxLayout;
    counts->addWidget(new QLabel(QStringLiteral("每站点创建栏目数：")));
    counts->addWidget(m_countMin);
    counts->addWidget(new QLabel(QStringLiteral("到")));
    counts->addWidget(m_countMax);
    counts->addWidget(m_countMode);
    counts->addStretch();
    grid1->addLayout(counts, 3, 0, 1, 2);

    auto* parentRow = new QHBoxLayout;
    parentRow->addWidget(new QLabel(QStringLiteral("父栏ID：")));
    m_parentId = numberBox(QStringLiteral("编辑框父栏ID"), QStringLiteral("0"));
    parentRow->addWidget(m_parentId);
    parentRow->addWidget(new QLabel(QStringLiteral("上级目录：")));
    m_parentDir = named(new QLineEdit(QStringLiteral("{cmspath}/a")), QStringLiteral("编辑框父目录"));
    parentRow->addWidget(m_parentDir);
    m_refreshLists =
        named(new QCheckBox(QStringLiteral("刷新主页和栏目HTML")), QStringLiteral("选择框刷新栏目"));
    parentRow->addWidget(m_refreshLists);
    grid1->addLayout(parentRow, 4, 0, 1, 2);
    m_categoryList = named(new QPlainTextEdit, QStringLiteral("编辑框栏目列表"));
    setTag(m_categoryList, kTagBytes);
    m_categoryList->hide();
    grid1->addWidget(m_categoryList, 5, 0, 1, 2);

    // 分组框2: importing sites and reading their category lists.
    auto* frame2 =
        named(new QGroupBox(QStringLiteral("批量导入站点和批量读取栏目列表")), QStringLiteral("分组框2"));
    auto* grid2 = new QGridLayout(frame2);
    auto* import = named(new QPushButton(QStringLiteral("批量导入站点")), QStringLiteral("按钮批量导入"));
    auto* readLists =
        named(new QCheckBox(QStringLiteral("读取栏目列表")), QStringLiteral("选择框读取栏目列表"));
    auto* checkAll =
        named(new QCheckBox(QStringLiteral("全选栏目列表")), QStringLiteral("选择框全选栏目列表"));
    auto* read =
        named(new QPushButton(QStringLiteral("批量读取已有站点的栏目列表")), QStringLiteral("按钮批量读取"));
    auto* skipRead =
        named(new QCheckBox(QStringLiteral("跳过已读过栏目的站点")), QStringLiteral("选择框跳过已读站点"));
    auto* importRow = new QHBoxLayout;
    importRow->addWidget(import);
    importRow->addWidget(readLists);
    importRow->addWidget(checkAll);
    importRow->addStretch();
    grid2->addLayout(importRow, 0, 0, 1, 2);
    auto* readRow = new QHBoxLayout;
    readRow->addWidget(read);
    readRow->addWidget(skipRead);
    readRow->addStretch();
    grid2->addLayout(readRow, 1, 0, 1, 2);
    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(new QLabel(QStringLiteral("导入延迟秒：")));
    delayRow->addWidget(numberBox(QStringLiteral("编辑框导入延迟秒"), QStringLiteral("2")));
    delayRow->addStretch();
    grid2->addLayout(delayRow, 2, 0, 1, 2);
    auto* domainList = named(new QPlainTextEdit, QStringLiteral("编辑框域名列表"));
    setTag(domainList, kTagBytes);
    domainList->hide();
    grid2->addWidget(domainList, 3, 0, 1, 2);

    // 分组框3: rewriting the home pages.
    auto* frame3 = named(new QGroupBox(QStringLiteral("批量修改主页")), QStringLiteral("分组框3"));
    auto* grid3 = new QGridLayout(frame3);
    m_changeTemplet =
        named(new QCheckBox(QStringLiteral("修改主页模板：")), QStringLiteral("选择框修改主页模板"));
    m_templet = named(new QLineEdit(QStringLiteral("default/index.htm")), QStringLiteral("编辑框主页模板"));
    m_changePosition =
        named(new QCheckBox(QStringLiteral("修改主页位置：")), QStringLiteral("选择框修改主页位置"));
    m_position = named(new QLineEdit(QStringLiteral("../index.html")), QStringLiteral("编辑框主页位置"));
    grid3->addWidget(m_changeTemplet, 0, 0);
    grid3->addWidget(m_templet, 0, 1);
    grid3->addWidget(m_changePosition, 1, 0);
    grid3->addWidget(m_position, 1, 1);
    m_rewrite = named(new QPushButton(QString::fromUtf8(backend::kRewriteHomePagesCaption)),
                      QStringLiteral("按钮开始修改"));
    grid3->addWidget(m_rewrite, 2, 1, Qt::AlignRight);

    auto* pinyin =
        named(new QPushButton(QStringLiteral("工具：汉字拼音转换器")), QStringLiteral("按钮汉字拼音转换器"));
    auto* randomText =
        named(new QPushButton(QStringLiteral("工具：随机文本生成器")), QStringLiteral("按钮随机文本生成器"));
    auto* tools = new QHBoxLayout;
    tools->addWidget(pinyin);
    tools->addWidget(randomText);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(scopeRow);
    layout->addWidget(frame1);
    layout->addWidget(frame2);
    layout->addWidget(frame3);
    layout->addStretch();
    layout->addLayout(tools);

    // The actions this version does not run yet stay visible but cannot be started.
    for (QPushButton* later : {import, read}) {
        later->setEnabled(false);
        later->setToolTip(kNotYet);
    }

    connect(m_countMode, &QComboBox::currentIndexChanged, this, [this] { applyCountRule(); });
    connect(m_deleteArticles, &QPushButton::clicked, this, [this] { deleteArticles(); });
    connect(m_deleteCategories, &QPushButton::clicked, this, [this] { deleteCategories(); });
    connect(create, &QPushButton::clicked, this, [this] { createCategories(); });
    connect(m_rewrite, &QPushButton::clicked, this, [this] { rewriteHomePages(); });
    connect(pinyin, &QPushButton::clicked, this, [this] {
        if (m_pinyin == nullptr) m_pinyin = new PinyinWindow(m_settings, this);
        m_pinyin->show();
        m_pinyin->raise();
    });
    connect(randomText, &QPushButton::clicked, this, [this] {
        if (m_randomText == nullptr) m_randomText = new RandomTextWindow(m_services, m_settings, this);
        m_randomText->show();
        m_randomText->raise();
    });
}

void BatchToolsWindow::applyCountRule() {
    const bool perSite = m_countMode->currentText() == kDifferentPerSite;
    m_countMin->setEnabled(perSite);
    m_countMax->setEnabled(perSite);
}

backend::BatchScope BatchToolsWindow::scope() const {
    if (m_scopeCurrent->isChecked()) return backend::BatchScope::Current;
    if (m_scopeAll->isChecked()) return backend::BatchScope::All;
    return backend::BatchScope::Checked;
}

void BatchToolsWindow::deleteArticles() {
    backend::DeleteArticlesOptions options;
    options.from = intOf(m_articleFrom);
    options.to = intOf(m_articleTo);
    options.refreshLists = m_refreshLists->isChecked();
    startOrStop(m_deleteArticles, QString::fromUtf8(backend::kDeleteArticlesCaption),
                QString::fromStdString(backend::deleteArticlesQuestion(options)),
                [options](const auto& targets, const auto& env) {
                    return backend::deleteArticles(targets, options, env);
                });
}

void BatchToolsWindow::deleteCategories() {
    backend::DeleteCategoriesOptions options;
    options.from = intOf(m_categoryFrom);
    options.to = intOf(m_categoryTo);
    options.deleteFiles = m_deleteFiles->isChecked();
    options.refreshLists = m_refreshLists->isChecked();
    startOrStop(m_deleteCategories, QString::fromUtf8(backend::kDeleteCategoriesCaption),
                QString::fromStdString(backend::deleteCategoriesQuestion(options)),
                [options](const auto& targets, const auto& env) {
                    return backend::deleteCategories(targets, options, env);
                });
}

void BatchToolsWindow::createCategories() {
    const QString idle = QString::fromUtf8(backend::kCreateCategoriesCaption);
    if (!isBusy() && !m_main.isRunning()) {
        QString text = m_categoryList->toPlainText();
        text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
        if (!showTextDialog(text, kCreateHint, QStringLiteral("创建栏目"), this, *m_services.dialogs)) return;
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        m_categoryList->setPlainText(text);
        backend::CreateCategoriesOptions options;
        options.lines = backend::categoryLinesFromText(text.toStdString(), intOf(m_parentId));
        if (options.lines.empty()) return;
        options.parentDir = m_parentDir->text().toStdString();
        options.mode = m_countMode->currentIndex() == 1 ? 1 : 0;
        options.countMin = intOf(m_countMin);
        options.countMax = intOf(m_countMax);
        options.visible = m_showCreated->isChecked();
        // The category kinds carry no item data of their own, so "0" goes out for each of them.
        options.isDefault = "0";
        options.refreshLists = m_refreshLists->isChecked();
        startOrStop(m_createCategories, idle, {}, [options](const auto& targets, const auto& env) {
            return backend::createCategories(targets, options, env);
        });
        return;
    }
    startOrStop(m_createCategories, idle, {}, {});
}

void BatchToolsWindow::rewriteHomePages() {
    backend::RewriteHomePagesOptions options;
    if (m_changeTemplet->isChecked()) options.templet = m_templet->text().toStdString();
    if (m_changePosition->isChecked()) options.position = m_position->text().toStdString();
    startOrStop(m_rewrite, QString::fromUtf8(backend::kRewriteHomePagesCaption),
                QString::fromStdString(backend::rewriteHomePagesQuestion(scope())),
                [options](const auto& targets, const auto& env) {
                    return backend::rewriteHomePages(targets, options, env);
                });
}

void BatchToolsWindow::startOrStop(QPushButton* button, const QString& idleCaption, const QString& question,
                                   Work work) {
    if (isBusy()) {
        if (button == m_runningButton) {
            button->setText(kStopping);
            m_stop = true;
        }
        return;
    }
    if (m_main.isRunning() || !work) return;
    if (!question.isEmpty() && m_services.dialogs->message(this, question, {}, Dialogs::Buttons::OkCancel,
                                                           Dialogs::Icon::Question) != Dialogs::Answer::Ok) {
        return;
    }
    const std::optional<backend::SiteForm> currentForm = backend::formOfSite(m_main.readSiteFromWindow());
    std::vector<backend::BatchTarget> targets =
        backend::batchTargets(m_main.siteList(), scope(), currentForm);
    const config::RunOptions options = m_main.runOptions();
    const std::filesystem::path dataDir = m_services.dataDir;
    const text::Clock* clock = m_services.clock;

    m_stop = false;
    m_runningButton = button;
    setRunning(true);
    auto observer = std::make_shared<ButtonObserver>(button);
    m_worker = std::thread([this, button, idleCaption, work = std::move(work), targets = std::move(targets),
                            options, dataDir, clock, observer] {
        backend::OptionsRunSettings settings(options);
        backend::BatchEnvironment env;
        env.backend.settings = &settings;
        env.backend.dataDir = dataDir;
        env.backend.clock = clock;
        env.backend.abort = &m_stop;
        env.stop = &m_stop;
        env.observer = observer.get();
        backend::BatchReport report = work(targets, env);
        // The window joins this thread before it goes, so `this` is alive while the call is queued.
        QMetaObject::invokeMethod(
            this,
            [this, button, idleCaption, report = std::move(report)] {
                finished(button, idleCaption, report);
            },
            Qt::QueuedConnection);
    });
}

void BatchToolsWindow::finished(QPushButton* button, const QString& idleCaption,
                                const backend::BatchReport& report) {
    joinWorker();
    m_runningButton = nullptr;
    button->setText(idleCaption);
    setRunning(false);
    TextDialogOptions display;
    display.inputMode = false;
    QString text = QString::fromStdString(report.report);
    showTextDialog(text, {}, QString::fromStdString(report.title), this, *m_services.dialogs, display);
    if (!report.failures.empty()) {
        QString failures = QString::fromStdString(report.failures);
        showTextDialog(failures, {}, QString::fromStdString(report.failureTitle), this, *m_services.dialogs,
                       display);
    }
    emit actionFinished();
}

void BatchToolsWindow::setRunning(bool running) {
    m_main.setSiteEditingEnabled(!running);
    for (QRadioButton* radio : {m_scopeCurrent, m_scopeChecked, m_scopeAll}) radio->setEnabled(!running);
}

void BatchToolsWindow::joinWorker() {
    if (m_worker.joinable()) m_worker.join();
}

void BatchToolsWindow::saveState() { saveWindow(m_settings, this, kSection); }

void BatchToolsWindow::closeEvent(QCloseEvent* event) {
    if (isBusy()) m_stop = true;
    saveState();
    QWidget::closeEvent(event);
}

}  // namespace oz::ui
