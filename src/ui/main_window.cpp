#include "ui/main_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShowEvent>
#include <QStatusBar>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "backend/admin_session.h"
#include "backend/category_tree.h"
#include "backend/run_settings.h"
#include "backend/site_form.h"
#include "config/settings_file.h"
#include "config/site_list_store.h"
#include "http/http_requester.h"
#include "ui/batch_tools_window.h"
#include "ui/category_tree_view.h"
#include "ui/control_state.h"
#include "ui/countdown_window.h"
#include "ui/custom_refresh_menu.h"
#include "ui/desktop.h"
#include "ui/dialogs.h"
#include "ui/help_text.h"
#include "ui/log_window.h"
#include "ui/schedule_window.h"
#include "ui/site_bindings.h"
#include "ui/text_dialog.h"
#include "ui/window_run.h"

namespace oz::ui {

namespace {

const QString kIdleCaption = QStringLiteral("开始站群更新");
const QString kReadCaption = QStringLiteral("读取栏目列表");
// The state of the schedule window's date box, kept beside its two options.
constexpr const char* kScheduleDateKey = "选择框日期";
const QString kSiteFileFilter = QStringLiteral("配置文件 (*.ini);;全部文件 (*)");
const QStringList kMethodItems = {QStringLiteral("随机词组"), QStringLiteral("自动分词"),
                                  QStringLiteral("使用标题"), QStringLiteral("留空内容"),
                                  QStringLiteral("内容首行")};

// The controls a run disables for its whole length.
const char* const kRunLockedControls[] = {
    "单选框先后独立", "单选框同步循环", "按钮导入", "按钮导出", "按钮上移", "按钮下移", "按钮启用",
    "按钮不启",       "按钮反启",       "按钮添加", "按钮修改", "按钮删除", "按钮清空", "按钮读取栏目列表"};

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}
QPushButton* button(const char* name, const QString& caption) {
    return named(new QPushButton(caption), name);
}
QCheckBox* check(const char* name, const QString& caption) { return named(new QCheckBox(caption), name); }
QRadioButton* radio(const char* name, const QString& caption) {
    return named(new QRadioButton(caption), name);
}
QLineEdit* edit(const char* name, int width = 0) {
    auto* e = named(new QLineEdit, name);
    if (width > 0) e->setMaximumWidth(width);
    return e;
}
QComboBox* combo(const char* name, const QStringList& items) {
    auto* c = named(new QComboBox, name);
    c->addItems(items);
    return c;
}
QLabel* label(const QString& text) { return new QLabel(text); }

// Two range boxes with the small "-" between them.
QWidget* range(const char* first, const char* second, int width = 46) {
    auto* w = new QWidget;
    auto* row = new QHBoxLayout(w);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(2);
    for (const char* name : {first, second}) {
        QLineEdit* box = edit(name);
        box->setFixedWidth(width);
        row->addWidget(box);
        if (name == first) row->addWidget(label(QStringLiteral("-")));
    }
    row->addStretch(1);
    return w;
}

QHBoxLayout* rowOf(std::initializer_list<QWidget*> widgets, bool stretch = true) {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    for (QWidget* w : widgets) row->addWidget(w);
    if (stretch) row->addStretch(1);
    return row;
}

// The colour picker of the title colour: a button showing the colour, value 0x00BBGGRR.
class ColorPicker final : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(int colorValue READ colorValue WRITE setColorValue)
   public:
    ColorPicker() {
        setObjectName(QStringLiteral("颜色选择器标题颜色"));
        setFixedSize(40, 20);
        setColorValue(0);
    }
    int colorValue() const { return m_value; }
    void setColorValue(int value) {
        m_value = value;
        const QColor c(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
        setStyleSheet(QStringLiteral("background:%1;border:1px solid gray;").arg(c.name()));
    }

   private:
    int m_value = 0;
};

}  // namespace

MainWindow::MainWindow(config::SettingsFile& settings, UiServices services, QWidget* parent)
    : QMainWindow(parent), m_settings(settings), m_services(std::move(services)) {
    setWindowTitle(QStringLiteral("Orvane·Zentrel v1.9.9.1 - dedeCMS门户站群批量更新文章的软件"));
    setWindowIcon(QIcon(QStringLiteral(":/orvane-zentrel.png")));
    resize(1082, 711);
    m_run = std::make_unique<WindowRun>(m_services.dataDir, m_services.clock);
    buildControls();
    connectRules();
    showSiteFields(this, config::initialSiteConfig());
    loadStartup();
}

MainWindow::~MainWindow() {
    delete m_batchWindow;  // stops and joins its action while this window is still whole
    if (m_categoryThread.joinable()) m_categoryThread.join();
    m_run.reset();  // aborts a run still going before the widgets go
}

// ---- layout --------------------------------------------------------------------------------

void MainWindow::buildControls() {
    auto* central = new QWidget;
    auto* page = new QVBoxLayout(central);
    page->setContentsMargins(0, 0, 0, 4);
    page->setSpacing(2);
    page->addWidget(buildHeader());
    auto* separator = named(new QFrame, "标签13");
    separator->setFrameShape(QFrame::HLine);
    separator->setFixedHeight(2);
    page->addWidget(separator);

    auto* siteFrame = named(new QGroupBox, "分组框3");
    auto* frameRow = new QHBoxLayout(siteFrame);
    frameRow->addWidget(buildSiteColumn());
    auto* options = new QVBoxLayout;
    options->addWidget(buildArticleOptions(), 3);
    options->addWidget(buildFileOptions());
    options->addWidget(buildEnhancements());
    frameRow->addLayout(options, 1);
    auto* framePad = new QHBoxLayout;
    framePad->setContentsMargins(4, 0, 4, 0);
    framePad->addWidget(siteFrame);
    page->addLayout(framePad, 1);

    page->addWidget(buildRunBar());
    setCentralWidget(central);
    // Compact rows, so the whole form fits the initial size at the usual font sizes.
    for (QLayout* layout : central->findChildren<QLayout*>()) {
        if (auto* grid = qobject_cast<QGridLayout*>(layout)) grid->setVerticalSpacing(2);
        if (auto* box = qobject_cast<QBoxLayout*>(layout); box && box->direction() == QBoxLayout::TopToBottom)
            box->setSpacing(2);
        if (qobject_cast<QGroupBox*>(layout->parentWidget())) layout->setContentsMargins(6, 1, 6, 1);
    }

    m_statusLabel = new QLabel;
    m_progress = new QProgressBar;
    m_progress->setMaximumWidth(260);
    m_progress->setFormat(QStringLiteral("%v / %m"));
    statusBar()->addWidget(m_statusLabel, 1);
    statusBar()->addPermanentWidget(m_progress);
    m_progress->hide();
    statusBar()->hide();  // shown while a run is going
    m_statusTimer = new QTimer(this);
    m_statusTimer->setInterval(1000);
    connect(m_statusTimer, &QTimer::timeout, this, &MainWindow::updateStatus);

    m_refreshMenu = createCustomRefreshMenu(this);

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

    m_logWindow = new LogWindow(*m_services.desktop, this);
    m_logWindow->setWindowFlag(Qt::Window);
    m_logWindow->hide();
    connect(m_logWindow, &LogWindow::closedByUser, this,
            [this] { m_logButton->setText(QStringLiteral("查看日志")); });
    connect(m_run.get(), &WindowRun::logOpened, this, [this](const QString& file) {
        m_logWindow->startLog(file);
        m_logButton->setText(QStringLiteral("关闭日志"));
        m_logWindow->showAndRaise();
    });
    connect(m_run.get(), &WindowRun::logLine, this,
            [this](const engine::LogEntry& entry) { m_logWindow->append(entry); });
    connect(m_run.get(), &WindowRun::siteFinished, this, &MainWindow::onSiteFinished);
    connect(m_run.get(), &WindowRun::stateChanged, this, &MainWindow::onRunStateChanged);
    connect(m_run.get(), &WindowRun::runEnded, this, &MainWindow::onRunEnded);
}

QWidget* MainWindow::buildHeader() {
    auto* strip = named(new QFrame, "图片框1");
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
        auto* picture = named(new QLabel, pair.picture);
        picture->setPixmap(style()->standardIcon(pair.icon).pixmap(32, 32));
        picture->setAlignment(Qt::AlignCenter);
        picture->setCursor(Qt::PointingHandCursor);
        picture->installEventFilter(this);
        picture->setProperty("ozAction", QVariant::fromValue(static_cast<void*>(nullptr)));
        auto* link = named(new QLabel(QStringLiteral("<a href='#'>%1</a>").arg(pair.caption)), pair.link);
        link->setAlignment(Qt::AlignCenter);
        const auto action = pair.action;
        connect(link, &QLabel::linkActivated, this, [this, action] { (this->*action)(); });
        if (pair.action == &MainWindow::globalSave) m_saveLink = link;
        box->addWidget(picture);
        box->addWidget(link);
        row->addLayout(box);
        row->addSpacing(18);
    }
    return strip;
}

QWidget* MainWindow::buildSiteColumn() {
    auto* column = new QWidget;
    column->setMaximumWidth(230);
    auto* v = new QVBoxLayout(column);
    v->setContentsMargins(0, 0, 0, 0);
    auto* moveRow = new QHBoxLayout;
    for (auto [name, caption] :
         {std::pair{"按钮上移", "上移"}, {"按钮下移", "下移"}, {"按钮导入", "导入"}, {"按钮导出", "导出"}}) {
        QPushButton* b = button(name, QString::fromUtf8(caption));
        b->setMaximumWidth(48);
        moveRow->addWidget(b);
    }
    v->addLayout(moveRow);
    auto* checkRow = new QHBoxLayout;
    for (auto [name, caption] : {std::pair{"按钮启用", "+"}, {"按钮不启", "-"}, {"按钮反启", "+ -"}}) {
        checkRow->addWidget(button(name, QString::fromUtf8(caption)));
    }
    v->addLayout(checkRow);
    m_siteListView = named(new QListWidget, "列表框");
    m_siteListView->setMinimumHeight(90);
    m_siteListView->setUniformItemSizes(true);
    v->addWidget(m_siteListView, 1);

    m_editButtons = new QWidget;
    auto* editRow = new QHBoxLayout(m_editButtons);
    editRow->setContentsMargins(0, 0, 0, 0);
    for (auto [name, caption] :
         {std::pair{"按钮添加", "添加"}, {"按钮修改", "修改"}, {"按钮删除", "删除"}, {"按钮清空", "清空"}}) {
        QPushButton* b = button(name, QString::fromUtf8(caption));
        b->setMaximumWidth(48);
        editRow->addWidget(b);
    }
    m_modify = m_editButtons->findChild<QPushButton*>(QStringLiteral("按钮修改"));
    v->addWidget(m_editButtons);
    m_stopSite = button("按钮停止更新", QStringLiteral("停止更新选定站点"));
    setTag(m_stopSite, QStringLiteral("只有选中一个站点配置时才允许点击"));
    m_stopSite->hide();
    v->addWidget(m_stopSite);

    auto* form = new QGridLayout;
    form->addWidget(label(QStringLiteral("域名：")), 0, 0);
    form->addWidget(edit("编辑框域名"), 0, 1);
    form->addWidget(label(QStringLiteral("用户：")), 1, 0);
    form->addWidget(edit("编辑框用户"), 1, 1);
    form->addWidget(label(QStringLiteral("密码：")), 2, 0);
    auto* passwordRow = new QHBoxLayout;
    QLineEdit* password = edit("编辑框密码");
    password->setEchoMode(QLineEdit::Password);
    auto* reveal = new QToolButton;
    reveal->setText(QStringLiteral("显"));
    reveal->setToolTip(QStringLiteral("显示密码"));
    reveal->setCheckable(true);
    connect(reveal, &QToolButton::toggled, password,
            [password](bool on) { password->setEchoMode(on ? QLineEdit::Normal : QLineEdit::Password); });
    passwordRow->addWidget(password);
    passwordRow->addWidget(reveal);
    form->addLayout(passwordRow, 2, 1);
    form->addWidget(label(QStringLiteral("编码：")), 3, 0);
    form->addWidget(combo("组合框编码", {QStringLiteral("UTF-8"), QStringLiteral("GBK")}), 3, 1);
    form->addWidget(label(QStringLiteral("目录：")), 4, 0);
    form->addWidget(edit("编辑框目录"), 4, 1);
    form->addWidget(label(QStringLiteral("协议：")), 5, 0);
    form->addWidget(check("选择框https", QStringLiteral("使用 HTTPS 发布")), 5, 1);
    v->addLayout(form);
    return column;
}

QWidget* MainWindow::buildArticleOptions() {
    auto* frame = named(new QGroupBox(QStringLiteral("发帖选项")), "分组框发帖选项1");
    auto* h = new QHBoxLayout(frame);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    struct ListRow {
        const char* caption;
        const char* button;
        const char* buttonText;
        const char* countCaption;
        const char* first;
        const char* second;
        const char* method;
    };
    const ListRow rows[] = {
        {"关 键 词：", "按钮输入关键词组", "输入关键词组", "关键词数：", "编辑框关键词数1", "编辑框关键词数2",
         "组合框关键词方式"},
        {"标签 TAB：", "按钮输入标签组", "输入标签组", "标 签 数：", "编辑框标签数1", "编辑框标签数2",
         "组合框标签方式"},
        {"简略标题：", "按钮输入标题组", "输入标题组", "标 题 数：", "编辑框标题数1", "编辑框标题数2",
         "组合框标题方式"},
    };
    int r = 0;
    for (const ListRow& row : rows) {
        grid->addWidget(label(QString::fromUtf8(row.caption)), r, 0);
        QPushButton* b = button(row.button, QString::fromUtf8(row.buttonText));
        const QString name = QString::fromUtf8(row.button);
        connect(b, &QPushButton::clicked, this, [this, name] { editList(name); });
        grid->addWidget(b, r, 1);
        grid->addWidget(label(QString::fromUtf8(row.countCaption)), r, 2);
        grid->addWidget(range(row.first, row.second), r, 3);
        grid->addWidget(combo(row.method, kMethodItems), r, 4);
        ++r;
    }
    grid->addWidget(label(QStringLiteral("文章作者：")), r, 0);
    QPushButton* authors = button("按钮输入作者组", QStringLiteral("输入作者组"));
    connect(authors, &QPushButton::clicked, this, [this] { editList(QStringLiteral("按钮输入作者组")); });
    grid->addWidget(authors, r, 1);
    auto* authorBox = named(new QPlainTextEdit, "编辑框作者组");
    authorBox->setFixedHeight(authors->sizeHint().height());
    authorBox->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    auto* authorRow = new QHBoxLayout;
    authorRow->addWidget(authorBox, 1);
    authorRow->addWidget(label(QStringLiteral("文章来源：")));
    authorRow->addWidget(edit("编辑框文章来源"), 1);
    grid->addLayout(authorRow, r, 2, 1, 3);
    ++r;
    auto* numbers = new QHBoxLayout;
    numbers->addWidget(label(QStringLiteral("内容摘要：")));
    numbers->addWidget(range("编辑框内容摘要数1", "编辑框内容摘要数2"));
    numbers->addWidget(label(QStringLiteral("浏览次数：")));
    numbers->addWidget(range("编辑框浏览数1", "编辑框浏览数2"));
    numbers->addWidget(label(QStringLiteral("标题颜色：")));
    numbers->addWidget(new ColorPicker);
    numbers->addStretch(1);
    grid->addLayout(numbers, r, 0, 1, 5);
    ++r;
    auto* address = new QHBoxLayout;
    address->addWidget(label(QStringLiteral("文章地址：")));
    address->addWidget(radio("单选框默认地址", QStringLiteral("顺序命名")));
    address->addWidget(radio("单选框标题首拼", QStringLiteral("标题首拼")));
    address->addWidget(radio("单选框随机字母", QStringLiteral("随机字母")));
    address->addWidget(range("编辑框字母数1", "编辑框字母数2", 34));
    address->addWidget(check("选择框生成HTML", QStringLiteral("生成HTML")));
    address->addStretch(1);
    grid->addLayout(address, r, 0, 1, 5);
    ++r;
    auto* flags = new QHBoxLayout;
    flags->addWidget(label(QStringLiteral("自定属性：")));
    for (auto [name, caption] : {std::pair{"选择框头条", "头条"},
                                 {"选择框推荐", "推荐"},
                                 {"选择框幻灯", "幻灯"},
                                 {"选择框特荐", "特荐"},
                                 {"选择框滚动", "滚动"},
                                 {"选择框加粗", "加粗"},
                                 {"选择框图片", "图片"},
                                 {"选择框随机属性", "随机属性"}})
        flags->addWidget(check(name, QString::fromUtf8(caption)));
    flags->addStretch(1);
    grid->addLayout(flags, r, 0, 1, 5);
    ++r;
    auto* backend = new QGridLayout;
    backend->addWidget(check("选择框下载远程图片和资源", QStringLiteral("下载远程图片和资源")), 0, 0);
    backend->addWidget(check("选择框提取第一个图片为缩略图", QStringLiteral("提取缩略图")), 0, 1);
    backend->addWidget(check("选择框图片加水印", QStringLiteral("图片加水印")), 0, 2);
    backend->addWidget(check("选择框关闭评论", QStringLiteral("关闭评论")), 0, 3);
    // The page size box sits inside the gap of the check box's caption.
    auto* pages = new QWidget;
    auto* pagesRow = new QHBoxLayout(pages);
    pagesRow->setContentsMargins(0, 0, 0, 0);
    pagesRow->setSpacing(2);
    auto* splitBox = check("选择框文章分页", QStringLiteral("每"));
    pagesRow->addWidget(splitBox);
    pagesRow->addWidget(edit("编辑框分页千字节", 36));
    pagesRow->addWidget(label(QStringLiteral("KB 分一页")));
    pagesRow->addStretch(1);
    backend->addWidget(pages, 1, 0);
    backend->addWidget(check("选择框删除非站内链接", QStringLiteral("删除非站内链接")), 1, 1);
    backend->addWidget(combo("组合框刷新HTML类型", {QStringLiteral("不刷新已发布栏目HTML和RSS"),
                                                    QStringLiteral("更新完成时刷新HTML和RSS"),
                                                    QStringLiteral("每更新一篇时刷新HTML和RSS")}),
                       1, 2, 1, 2);
    grid->addLayout(backend, r, 0, 1, 5);
    grid->setRowStretch(r + 1, 1);
    h->addLayout(grid, 1);

    auto* categories = new QVBoxLayout;
    auto* access = new QHBoxLayout;
    access->addStretch(1);
    access->addWidget(combo("组合框访问方式", {QStringLiteral("访问方式1"), QStringLiteral("访问方式2")}));
    categories->addLayout(access);
    auto* treeButtons = new QHBoxLayout;
    m_readCategories = button("按钮读取栏目列表", kReadCaption);
    treeButtons->addWidget(m_readCategories, 1);
    for (auto [name, caption] : {std::pair{"按钮全选", "+"}, {"按钮不选", "-"}, {"按钮反选", "+ -"}}) {
        QPushButton* b = button(name, QString::fromUtf8(caption));
        b->setMaximumWidth(36);
        treeButtons->addWidget(b);
    }
    categories->addLayout(treeButtons);
    m_tree = named(new QTreeWidget, "树型框");
    m_tree->setHeaderHidden(true);
    m_tree->setMinimumWidth(240);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    categories->addWidget(m_tree, 1);
    h->addLayout(categories);
    return frame;
}

QWidget* MainWindow::buildFileOptions() {
    auto* frame = named(new QGroupBox(QStringLiteral("文章选项")), "分组框发帖选项");
    auto* v = new QVBoxLayout(frame);
    QPushButton* choose = button("按钮选择目录", QStringLiteral(".."));
    choose->setMaximumWidth(30);
    choose->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(choose, &QPushButton::clicked, this, &MainWindow::chooseArticleFolder);
    connect(choose, &QPushButton::customContextMenuRequested, this, [this] {
        const QString folder = findChild<QLineEdit*>(QStringLiteral("编辑框文章目录"))->text();
        if (!folder.isEmpty()) m_services.desktop->revealPath(folder);
    });
    v->addLayout(rowOf(
        {label(QStringLiteral("文章目录：")), edit("编辑框文章目录"), choose, edit("编辑框文件过滤", 120),
         combo("组合框文件编码", {QStringLiteral("自动识别"), QStringLiteral("GBK"), QStringLiteral("UTF-8"),
                                  QStringLiteral("Unicode"), QStringLiteral("Unicode BE")})},
        false));
    v->addLayout(
        rowOf({label(QStringLiteral("更新数量：")), edit("编辑框更新数量", 60),
               label(QStringLiteral("每篇间隔秒：")), range("编辑框更新间隔1", "编辑框更新间隔2", 50),
               check("选择框删除已更新文章", QStringLiteral("删除已更新文章")),
               check("选择框首行标题", QStringLiteral("文章首行当标题")),
               check("选择框段落标签", QStringLiteral("加网页段落标签"))}));
    return frame;
}

QWidget* MainWindow::buildEnhancements() {
    auto* frame = named(new QGroupBox(QStringLiteral("增强功能")), "分组框1");
    auto* grid = new QGridLayout(frame);
    auto listButton = [this](const char* name) {
        QPushButton* b = button(name, QStringLiteral("输入关键词列表.."));
        const QString objectName = QString::fromUtf8(name);
        connect(b, &QPushButton::clicked, this, [this, objectName] { editList(objectName); });
        return b;
    };
    grid->addWidget(check("选择框随机插入关键词", QStringLiteral("正文插入关键词")), 0, 0);
    grid->addWidget(listButton("按钮输入关键词列表"), 0, 1);
    grid->addLayout(
        rowOf({label(QStringLiteral("插入次数：")), range("编辑框插入次数1", "编辑框插入次数2", 40),
               check("选择框每次换词", QStringLiteral("每次换词"))}),
        0, 2);
    grid->addWidget(check("选择框尾部插入关键词", QStringLiteral("尾部插入关键词")), 1, 0);
    grid->addWidget(listButton("按钮输入尾部关键词列表"), 1, 1);
    grid->addLayout(
        rowOf({label(QStringLiteral("插入次数：")), range("编辑框尾部插入次数1", "编辑框尾部插入次数2", 40),
               check("选择框尾部每次换词", QStringLiteral("每次换词")),
               check("选择框尾部调用文章块", QStringLiteral("调用文章块")), edit("编辑框尾部分块符", 90)}),
        1, 2);
    grid->addWidget(check("选择框标题插入关键词", QStringLiteral("标题插入关键词")), 2, 0);
    grid->addWidget(listButton("按钮输入标题关键词列表"), 2, 1);
    grid->addLayout(
        rowOf({label(QStringLiteral("插入概率：")), edit("编辑框插入概率", 40), label(QStringLiteral("%")),
               combo("组合框标题插入方式",
                     {QStringLiteral("标题前"), QStringLiteral("标题后"), QStringLiteral("随机位置")}),
               label(QStringLiteral("分隔符：")), edit("编辑框标题插入分隔符", 60)}),
        2, 2);
    grid->setColumnStretch(2, 1);
    return frame;
}

QWidget* MainWindow::buildRunBar() {
    auto* bar = new QWidget;
    auto* grid = new QGridLayout(bar);
    grid->setContentsMargins(8, 0, 8, 0);
    grid->addLayout(rowOf({radio("单选框同步循环", QStringLiteral("同步循环更新[循环一次间隔秒]：")),
                           edit("编辑框循环间隔", 50)}),
                    0, 0);
    grid->addLayout(rowOf({radio("单选框先后独立", QStringLiteral("先后独立更新[同时更新站点数]：")),
                           edit("编辑框同时站点数", 50)}),
                    1, 0);
    grid->addLayout(rowOf({check("选择框RSS所有栏目", QStringLiteral("刷新所有栏目RSS")),
                           check("选择框HTML所有栏目", QStringLiteral("刷新所有栏目HTML"))}),
                    0, 1);
    grid->addLayout(rowOf({check("选择框刷新子级栏目", QStringLiteral("刷新子级栏目")),
                           check("选择框一键更新网站", QStringLiteral("一键更新网站"))}),
                    1, 1);
    m_start = button("按钮开始更新", kIdleCaption);
    m_start->setMinimumSize(188, 32);
    QFont bold = m_start->font();
    bold.setBold(true);
    m_start->setFont(bold);
    m_start->installEventFilter(this);
    grid->addWidget(m_start, 0, 2, 2, 1);
    QPushButton* refresh = button("按钮定制刷新", QStringLiteral("定制刷新"));
    connect(refresh, &QPushButton::clicked, this,
            [this, refresh] { m_refreshMenu->popup(refresh->mapToGlobal(QPoint(0, refresh->height()))); });
    m_logButton = button("按钮查看日志", QStringLiteral("查看日志"));
    connect(m_logButton, &QPushButton::clicked, this, &MainWindow::toggleLogWindow);
    grid->addLayout(rowOf({refresh, check("选择框全局更新数量", QStringLiteral("全局更新数量:")),
                           edit("编辑框全局更新数量", 50), m_logButton}),
                    0, 3);
    grid->addLayout(rowOf({check("选择框完成关机", QStringLiteral("更新完成关机")),
                           check("选择框失败时重复尝试", QStringLiteral("失败时重复尝试")),
                           check("选择框按读入顺序发布", QStringLiteral("按读入顺序发布"))}),
                    1, 3);
    return bar;
}

// ---- rules ---------------------------------------------------------------------------------

void MainWindow::connectRules() {
    // Every check box, radio and combo re-applies the enabling rules.
    for (QAbstractButton* b : findChildren<QAbstractButton*>())
        if (b->isCheckable()) connect(b, &QAbstractButton::toggled, this, &MainWindow::applyEnabling);
    for (QComboBox* c : findChildren<QComboBox*>())
        connect(c, &QComboBox::currentIndexChanged, this, &MainWindow::applyEnabling);
    for (const char* name : {"编辑框循环间隔", "编辑框同时站点数", "编辑框全局更新数量"})
        connect(findChild<QLineEdit*>(QString::fromUtf8(name)), &QLineEdit::textChanged, this,
                &MainWindow::pushRunSettings);
    for (QAction* a : m_refreshMenu->findChildren<QAction*>())
        connect(a, &QAction::toggled, this, &MainWindow::pushRunSettings);

    auto clicked = [this](const char* name, auto slot) {
        connect(findChild<QPushButton*>(QString::fromUtf8(name)), &QPushButton::clicked, this, slot);
    };
    clicked("按钮添加", [this] { saveSite(false); });
    clicked("按钮修改", [this] { saveSite(true); });
    clicked("按钮删除", [this] { deleteSite(); });
    clicked("按钮清空", [this] { clearSites(); });
    clicked("按钮上移", [this] { moveSite(-1); });
    clicked("按钮下移", [this] { moveSite(1); });
    clicked("按钮导出", [this] { exportSites(); });
    clicked("按钮导入", [this] { importSites(); });
    clicked("按钮启用", [this] { setAllChecks(0); });
    clicked("按钮不启", [this] { setAllChecks(1); });
    clicked("按钮反启", [this] { setAllChecks(2); });
    clicked("按钮读取栏目列表", [this] { readCategoryList(); });
    clicked("按钮全选", [this] { setAllTreeChecks(m_tree, 0); });
    clicked("按钮不选", [this] { setAllTreeChecks(m_tree, 1); });
    clicked("按钮反选", [this] { setAllTreeChecks(m_tree, 2); });
    clicked("按钮停止更新", [this] { stopSelectedSite(); });
    connect(m_start, &QPushButton::clicked, this,
            [this] { startOrStopRun(content::ListingMethod::Complete); });

    connect(m_siteListView, &QListWidget::currentRowChanged, this, &MainWindow::onCurrentRowChanged);
    connect(m_siteListView, &QListWidget::itemChanged, this, &MainWindow::onItemChanged);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &MainWindow::onTreeCurrentChanged);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this, &MainWindow::openCategoryPage);
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (QTreeWidgetItem* item = m_tree->itemAt(at)) m_tree->setCurrentItem(item);
        openCategoryPage();
    });
}

void MainWindow::applyEnabling() {
    auto on = [this](const char* name) {
        auto* b = findChild<QAbstractButton*>(QString::fromUtf8(name));
        return b != nullptr && b->isChecked();
    };
    auto enable = [this](std::initializer_list<const char*> names, bool state) {
        for (const char* name : names)
            if (auto* w = findChild<QWidget*>(QString::fromUtf8(name))) w->setEnabled(state);
    };
    const bool html = on("选择框生成HTML");
    enable({"单选框默认地址", "单选框标题首拼", "单选框随机字母"}, html);
    enable({"编辑框字母数1", "编辑框字母数2"}, html && on("单选框随机字母"));
    enable({"选择框头条", "选择框推荐", "选择框幻灯", "选择框特荐", "选择框滚动", "选择框加粗", "选择框图片"},
           !on("选择框随机属性"));
    enable({"编辑框分页千字节"}, on("选择框文章分页"));
    struct Method {
        const char* combo;
        const char* button;
        const char* first;
        const char* second;
    };
    for (const Method& m :
         {Method{"组合框关键词方式", "按钮输入关键词组", "编辑框关键词数1", "编辑框关键词数2"},
          Method{"组合框标签方式", "按钮输入标签组", "编辑框标签数1", "编辑框标签数2"},
          Method{"组合框标题方式", "按钮输入标题组", "编辑框标题数1", "编辑框标题数2"}}) {
        const int method = findChild<QComboBox*>(QString::fromUtf8(m.combo))->currentIndex();
        enable({m.button}, method == 0);
        enable({m.first, m.second}, method == 0 || method == 1);
    }
    enable({"按钮输入关键词列表", "编辑框插入次数1", "编辑框插入次数2", "选择框每次换词"},
           on("选择框随机插入关键词"));
    const bool tail = on("选择框尾部插入关键词");
    const bool blocks = on("选择框尾部调用文章块");
    enable({"按钮输入尾部关键词列表", "编辑框尾部插入次数1", "编辑框尾部插入次数2", "选择框尾部每次换词",
            "选择框尾部调用文章块"},
           tail);
    enable({"编辑框尾部分块符"}, tail && blocks);
    findChild<QAbstractButton*>(QStringLiteral("选择框尾部插入关键词"))
        ->setText(blocks ? QStringLiteral("尾部插入文章块") : QStringLiteral("尾部插入关键词"));
    findChild<QAbstractButton*>(QStringLiteral("按钮输入尾部关键词列表"))
        ->setText(blocks ? QStringLiteral("输入文章路径列表..") : QStringLiteral("输入关键词列表.."));
    enable({"按钮输入标题关键词列表", "编辑框插入概率", "组合框标题插入方式", "编辑框标题插入分隔符"},
           on("选择框标题插入关键词"));
    enable({"编辑框全局更新数量"}, on("选择框全局更新数量"));
    pushRunSettings();
}

void MainWindow::pushRunSettings() {
    if (m_refreshMenu == nullptr) return;
    RunSettingsSnapshot snapshot;
    snapshot.options = runOptions();
    snapshot.htmlAllCategories = findChild<QCheckBox*>(QStringLiteral("选择框HTML所有栏目"))->isChecked();
    m_run->updateSettings(snapshot);
}

// ---- start-up, save, exit -------------------------------------------------------------------

void MainWindow::loadStartup() {
    m_options = config::loadRunOptions(m_settings, config::RunOptions{});
    showOptionFields(this, m_options);
    showMenuChecks(m_refreshMenu, m_options);
    applyEnabling();

    const int current = config::loadSiteList(m_settings, m_list);
    m_fillingList = true;
    m_siteListView->setUpdatesEnabled(false);
    for (const config::SiteConfig& site : m_list.sites) appendEntry(site);
    m_siteListView->setUpdatesEnabled(true);
    m_fillingList = false;
    refreshFrameTitle();
    if (current >= 0 && current < m_list.size()) {
        m_siteListView->setCurrentRow(current);
    } else {
        m_list.current = -1;
    }
    m_lastClicked = m_siteListView->currentRow();
}

config::RunOptions MainWindow::runOptions() const {
    config::RunOptions options = readOptionFields(this, m_options);
    readMenuChecks(m_refreshMenu, options);
    return options;
}

void MainWindow::globalSave() {
    m_saveLink->setText(QStringLiteral("<a href='#'>保存中..</a>"));
    QCoreApplication::processEvents();
    m_list.current = m_siteListView->currentRow();
    const bool saved = config::globalSave(m_settings, runOptions(), m_list);
    m_saveLink->setText(QStringLiteral("<a href='#'>全局保存</a>"));
    if (!saved) {
        m_services.dialogs->message(
            this, QStringLiteral("保存失败：") + QString::fromStdString(m_settings.lastError()), {},
            Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
        return;
    }
    m_services.dialogs->message(this, QStringLiteral("已保存所有数据！"));
}

void MainWindow::saveForExit() {
    m_list.current = m_siteListView->currentRow();
    config::globalSave(m_settings, runOptions(), m_list);
    config::deleteStaleSiteSections(m_settings, m_list.size());
    if (m_scheduleWindow != nullptr) m_scheduleWindow->saveSchedule();
    // An open batch tools window keeps its state as if it had been closed.
    if (m_batchWindow != nullptr && m_batchWindow->isVisible()) m_batchWindow->saveState();
}

void MainWindow::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    if (m_shownOnce) return;
    m_shownOnce = true;
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
    m_exiting = true;
    hide();
    m_logWindow->hide();
    if (m_scheduleWindow != nullptr) m_scheduleWindow->hide();
    // A run still going is cut off (its summary is still written) before the settings are saved.
    if (m_run->isRunning()) {
        m_run->abortNow();
        m_run->waitFor(std::chrono::milliseconds(1000));
    }
    saveForExit();
    m_tray->hide();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_start && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        startOrStopRun(content::ListingMethod::Fast);
        return true;
    }
    if (event->type() == QEvent::MouseButtonRelease) {
        const QString name = watched->objectName();
        if (name == QStringLiteral("图片全局保存")) globalSave();
        if (name == QStringLiteral("图片疑点说明")) showHelp();
        if (name == QStringLiteral("图片框计划")) openSchedule();
        if (name == QStringLiteral("图片框批处理")) openBatchTools();
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- the site list ----------------------------------------------------------------------------

void MainWindow::refreshFrameTitle() {
    findChild<QGroupBox*>(QStringLiteral("分组框3"))
        ->setTitle(QStringLiteral("dedeCMS网站列表(%1) - "
                                  "每个站点独立配置，因此任何参数改动请点击[修改]按钮来保存当前配置到该站点")
                       .arg(m_list.size()));
}

void MainWindow::appendEntry(const config::SiteConfig& site) {
    auto* item = new QListWidgetItem(QString::fromStdString(config::siteLabel(site)));
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(site.enabled ? Qt::Checked : Qt::Unchecked);
    const bool filling = m_fillingList;
    m_fillingList = true;
    m_siteListView->addItem(item);
    m_fillingList = filling;
}

void MainWindow::setEntryText(int row) {
    const config::SiteConfig& site = m_list.sites[static_cast<std::size_t>(row)];
    const bool filling = m_fillingList;
    m_fillingList = true;
    QListWidgetItem* item = m_siteListView->item(row);
    item->setText(QString::fromStdString(config::siteLabel(site)));
    item->setCheckState(site.enabled ? Qt::Checked : Qt::Unchecked);
    m_fillingList = filling;
}

bool MainWindow::isRunning() const { return m_start->text() != kIdleCaption; }

bool MainWindow::isBatchBusy() const { return m_batchWindow != nullptr && m_batchWindow->isBusy(); }

void MainWindow::setSiteEditingEnabled(bool enabled) {
    for (const char* name : kRunLockedControls)
        if (auto* w = findChild<QWidget*>(QString::fromUtf8(name))) w->setEnabled(enabled);
}

config::SiteConfig MainWindow::readSiteFromWindow() const {
    config::SiteConfig site = readSiteFields(this, config::SiteConfig{});
    if (m_tree->topLevelItemCount() == 0 && !m_foreignTree.empty()) {
        site.categoryTree = m_foreignTree;
        site.categoryIds = m_foreignIds;
        site.categoryCurrentItem = m_foreignCurrentItem;
        return site;
    }
    {
        site.categoryTree = encodeCategoryTree(m_tree);
        site.categoryIds = checkedTreeIds(m_tree);
    }
    const std::vector<QTreeWidgetItem*> items = treeItems(m_tree);
    const auto at = std::find(items.begin(), items.end(), m_tree->currentItem());
    site.categoryCurrentItem = at == items.end() ? 0 : static_cast<int>(at - items.begin());
    return site;
}

void MainWindow::showSite(int index) {
    if (index < 0 || index >= m_list.size()) {
        applyEnabling();
        return;
    }
    const config::SiteConfig& site = m_list.sites[static_cast<std::size_t>(index)];
    showSiteFields(this, site);
    m_foreignTree.clear();
    m_foreignIds.clear();
    const QSignalBlocker blocker(m_tree);
    if (!decodeCategoryTree(m_tree, site.categoryTree)) {
        m_foreignTree = site.categoryTree;
        m_foreignIds = site.categoryIds;
        m_foreignCurrentItem = site.categoryCurrentItem;
    }
    const std::vector<QTreeWidgetItem*> items = treeItems(m_tree);
    if (site.categoryCurrentItem >= 0 && site.categoryCurrentItem < static_cast<int>(items.size()))
        m_tree->setCurrentItem(items[static_cast<std::size_t>(site.categoryCurrentItem)]);
    applyEnabling();
}

int MainWindow::saveSite(bool modify, int index, bool silent) {
    if (index == -2) index = m_siteListView->currentRow();
    auto say = [&](const QString& text) {
        if (!silent) m_services.dialogs->message(this, text);
    };
    if (modify && (index < 0 || index >= m_list.size())) {
        say(QStringLiteral("请先选定一个站点配置再修改！"));
        return -1;
    }
    config::SiteConfig site = readSiteFromWindow();
    if (site.domain.empty()) return say(QStringLiteral("域名不能为空！")), -1;
    if (site.user.empty()) return say(QStringLiteral("用户不能为空！")), -1;
    if (site.password.empty()) return say(QStringLiteral("密码不能为空！")), -1;
    if (std::optional<int> same = m_list.findDuplicate(site, modify ? index : -1)) {
        if (!silent) {
            const QString label = QString::fromStdString(config::siteLabel(site));
            if (m_services.dialogs->message(
                    this,
                    QStringLiteral("网站列表中已存在相同的‘域名(用户名)’：") + label +
                        QStringLiteral("\r\n\r\n请更改域名、用户名，或者点击‘确定’按钮定位相同项目"),
                    {}, Dialogs::Buttons::OkCancel) == Dialogs::Answer::Ok)
                m_siteListView->setCurrentRow(*same);
        }
        return -1;
    }
    if (modify) {
        site.enabled = m_list.sites[static_cast<std::size_t>(index)].enabled;
        m_list.sites[static_cast<std::size_t>(index)] = site;
        setEntryText(index);
        if (!silent) {
            m_modify->setText(QStringLiteral("已改"));
            QTimer::singleShot(1000, m_modify,
                               [button = m_modify] { button->setText(QStringLiteral("修改")); });
        }
        return index;
    }
    return appendSite(site);
}

int MainWindow::appendSite(const config::SiteConfig& site) {
    m_list.sites.push_back(site);
    m_list.sites.back().enabled = true;
    appendEntry(m_list.sites.back());
    const int row = m_list.size() - 1;
    m_siteListView->setCurrentRow(row);
    refreshFrameTitle();
    return row;
}

void MainWindow::storeSiteTree(int row, const config::SiteConfig& record) {
    if (row < 0 || row >= m_list.size()) return;
    config::SiteConfig& site = m_list.sites[static_cast<std::size_t>(row)];
    site.categoryTree = record.categoryTree;
    site.categoryIds = record.categoryIds;
    site.categoryCurrentItem = 0;
    if (m_siteListView->currentRow() == row) showSite(row);
}

void MainWindow::selectSite(int row) {
    if (row >= 0 && row < m_list.size()) m_siteListView->setCurrentRow(row);
}

void MainWindow::deleteSite() {
    const int row = m_siteListView->currentRow();
    if (row < 0) {
        m_services.dialogs->message(this, QStringLiteral("请先选定一个站点配置再删除！"));
        return;
    }
    m_list.sites.erase(m_list.sites.begin() + row);
    {
        const QSignalBlocker blocker(m_siteListView);
        delete m_siteListView->takeItem(row);
    }
    const int next = std::min(row, m_list.size() - 1);
    {
        const QSignalBlocker blocker(m_siteListView);
        m_siteListView->setCurrentRow(next);
    }
    m_lastClicked = next;
    showSite(next);
    refreshFrameTitle();
}

void MainWindow::clearSites() {
    if (m_services.dialogs->message(this, QStringLiteral("确实要清空所有站点配置吗？"), {},
                                    Dialogs::Buttons::OkCancel,
                                    Dialogs::Icon::Question) != Dialogs::Answer::Ok)
        return;
    m_list.sites.clear();
    {
        const QSignalBlocker blocker(m_siteListView);
        m_siteListView->clear();
    }
    m_lastClicked = -1;
    refreshFrameTitle();
}

void MainWindow::moveSite(int step) {
    const int row = m_siteListView->currentRow();
    if (row < 0) {
        m_services.dialogs->message(this, step < 0 ? QStringLiteral("请选中一个网站配置再向上移动")
                                                   : QStringLiteral("请选中一个网站配置再向下移动"));
        return;
    }
    const int other = row + step;
    if (other < 0 || other >= m_list.size()) return;
    std::swap(m_list.sites[static_cast<std::size_t>(row)], m_list.sites[static_cast<std::size_t>(other)]);
    setEntryText(row);
    setEntryText(other);
    const QSignalBlocker blocker(m_siteListView);
    m_siteListView->setCurrentRow(other);
    m_lastClicked = other;
}

void MainWindow::exportSites() {
    const QString file =
        m_services.dialogs->saveFileName(this, QStringLiteral("将站点配置文件导出"), kSiteFileFilter,
                                         QString::fromStdString(m_options.exportPath), QStringLiteral("ini"));
    if (file.isEmpty()) return;
    m_options.exportPath = file.toStdString();
    config::SettingsFile out;
    m_list.current = m_siteListView->currentRow();
    if (!out.open(file.toStdString()) || !config::saveSiteList(out, m_list)) {
        m_services.dialogs->message(this,
                                    QStringLiteral("导出失败：") + QString::fromStdString(out.lastError()),
                                    {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
        return;
    }
    out.close();
    m_services.dialogs->message(this, QStringLiteral("导出站点配置成功：") + file +
                                          QStringLiteral("\r\n\r\n下次你可以重新导入进来！"));
}

void MainWindow::importSites() {
    const QString file =
        m_services.dialogs->openFileName(this, QStringLiteral("将站点配置文件导入"), kSiteFileFilter,
                                         QString::fromStdString(m_options.importPath));
    if (file.isEmpty()) return;
    m_options.importPath = file.toStdString();
    config::SettingsFile in;
    if (!in.open(file.toStdString(), config::SettingsFile::Mode::ReadOnly)) {
        m_services.dialogs->message(this,
                                    QStringLiteral("导入失败：") + QString::fromStdString(in.lastError()), {},
                                    Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
        return;
    }
    config::SiteList loaded;
    config::loadSiteList(in, loaded);
    for (config::SiteConfig& site : loaded.sites) {
        m_list.sites.push_back(site);
        appendEntry(site);
    }
    refreshFrameTitle();
}

void MainWindow::setAllChecks(int how) {
    if (isRunning()) return;
    for (int row = 0; row < m_list.size(); ++row) {
        const bool was = m_list.sites[static_cast<std::size_t>(row)].enabled;
        const bool now = how == 0 ? true : how == 1 ? false : !was;
        if (now != was) storeEnabled(row, now);
    }
}

void MainWindow::storeEnabled(int row, bool enabled) {
    m_list.sites[static_cast<std::size_t>(row)].enabled = enabled;
    config::saveSiteEnabled(m_settings, row + 1, enabled);
    setEntryText(row);
}

void MainWindow::onCurrentRowChanged(int row) {
    m_list.current = row;
    if (row >= 0) {
        QListWidgetItem* item = m_siteListView->item(row);
        m_stopSite->setEnabled(item->checkState() == Qt::Checked && !item->data(Qt::UserRole + 1).toBool());
    }
    showSite(row);
    applyMultiCheck(row, QGuiApplication::keyboardModifiers());
}

void MainWindow::applyMultiCheck(int row, Qt::KeyboardModifiers modifiers) {
    if (row < 0) return;
    const int previous = m_lastClicked;
    m_lastClicked = row;
    if (isRunning()) return;
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    std::vector<bool> wanted;
    for (const config::SiteConfig& site : m_list.sites) wanted.push_back(site.enabled);
    if (shift && previous >= 0) {
        if (!ctrl) wanted.assign(wanted.size(), false);
        for (int i = std::min(previous, row); i <= std::max(previous, row); ++i)
            wanted[static_cast<std::size_t>(i)] = true;
    } else if (ctrl && !shift) {
        wanted[static_cast<std::size_t>(row)] = true;
    } else {
        return;
    }
    for (int i = 0; i < m_list.size(); ++i)
        if (wanted[static_cast<std::size_t>(i)] != m_list.sites[static_cast<std::size_t>(i)].enabled)
            storeEnabled(i, wanted[static_cast<std::size_t>(i)]);
}

void MainWindow::onItemChanged(QListWidgetItem* item) {
    if (m_fillingList) return;
    const int row = m_siteListView->row(item);
    if (row < 0 || row >= m_list.size()) return;
    const bool checked = item->checkState() == Qt::Checked;
    if (checked == m_list.sites[static_cast<std::size_t>(row)].enabled) return;
    if (isRunning()) {
        setEntryText(row);  // check marks cannot change during a run
        return;
    }
    storeEnabled(row, checked);
}

// ---- the category tree ------------------------------------------------------------------------

void MainWindow::onTreeCurrentChanged() {
    QTreeWidgetItem* current = m_tree->currentItem();
    if (current == nullptr || countCheckedTreeItems(m_tree) >= 2) return;
    for (QTreeWidgetItem* item : treeItems(m_tree)) item->setCheckState(0, Qt::Unchecked);
    current->setCheckState(0, Qt::Checked);
}

void MainWindow::openCategoryPage() {
    QTreeWidgetItem* current = m_tree->currentItem();
    if (current == nullptr) return;
    const bool https = findChild<QCheckBox*>(QStringLiteral("选择框https"))->isChecked();
    const std::string host =
        config::normalizeHost(findChild<QLineEdit*>(QStringLiteral("编辑框域名"))->text().toStdString());
    m_services.desktop->openUrl(
        QStringLiteral("http%1://%2/plus/list.php?tid=%3")
            .arg(https ? QStringLiteral("s") : QString(), QString::fromStdString(host))
            .arg(current->data(0, Qt::UserRole).toInt()));
}

void MainWindow::readCategoryList() {
    if (m_readCategories->text() != kReadCaption) {
        m_readCategories->setText(QStringLiteral("正在停止.."));
        return;
    }
    if (m_categoryThread.joinable()) m_categoryThread.join();
    m_readCategories->setText(QStringLiteral("正在读取栏目列表.."));
    auto text = [this](const char* name) {
        return findChild<QLineEdit*>(QString::fromUtf8(name))->text().toStdString();
    };
    backend::SiteForm form{text("编辑框域名"),
                           text("编辑框用户"),
                           text("编辑框密码"),
                           text("编辑框目录"),
                           findChild<QComboBox*>(QStringLiteral("组合框编码"))->currentIndex(),
                           findChild<QCheckBox*>(QStringLiteral("选择框https"))->isChecked()};
    std::set<int> checked;
    for (int id : checkedTreeIdList(m_tree)) checked.insert(id);
    const config::RunOptions options = runOptions();
    const std::filesystem::path dataDir = m_services.dataDir;
    QPointer<MainWindow> self(this);
    // The reading logs in and waits on the network: it runs off the window thread and reports back
    // through queued calls.
    m_categoryThread = std::thread([self, form, checked, options, dataDir] {
        const config::SiteConfig site = backend::siteFromForm(form, false);
        backend::OptionsRunSettings settings(options);
        backend::BackendContext context;
        context.settings = &settings;
        context.dataDir = dataDir;
        http::HttpRequester requester;
        backend::AdminSession session{site, requester};
        auto post = [self](auto call) {
            QMetaObject::invokeMethod(
                qApp,
                [self, call] {
                    if (self) call(*self);
                },
                Qt::QueuedConnection);
        };
        backend::CategoryListResult result =
            backend::readCategoryList(session, context, checked, [post](int attempt) {
                post([attempt](MainWindow& w) {
                    w.m_readCategories->setText(QStringLiteral("重试(%1)读取栏目列表").arg(attempt));
                });
            });
        post([result](MainWindow& w) {
            {
                const QSignalBlocker blocker(w.m_tree);
                fillCategoryTree(w.m_tree, result.items);
            }
            w.m_foreignTree.clear();
            w.m_foreignIds.clear();
            if (!result.loggedIn) {
                w.m_readCategories->setText(kReadCaption);
                w.m_services.dialogs->message(&w, QString::fromUtf8(backend::kCategoryLoginFailedMessage));
                emit w.categoryReadFinished();
                return;
            }
            w.m_readCategories->setText(QStringLiteral("读取完成"));
            QTimer::singleShot(1000, &w, [&w] {
                w.m_readCategories->setText(kReadCaption);
                emit w.categoryReadFinished();
            });
        });
    });
}

// ---- dialogs and other windows ----------------------------------------------------------------

void MainWindow::chooseArticleFolder() {
    auto* box = findChild<QLineEdit*>(QStringLiteral("编辑框文章目录"));
    const QString folder =
        m_services.dialogs->existingFolder(this, QStringLiteral("请选择一个文件夹"), box->text());
    if (!folder.isEmpty()) box->setText(folder);
}

void MainWindow::editList(const QString& buttonName) {
    struct ListCaller {
        const char* button;
        const char* title;
        const char* hint;
    };
    static const ListCaller kCallers[] = {
        {"按钮输入关键词组", "输入关键词列表（keywords）：",
         "一行一个关键词，在更新文章时将读取随机的几个关键词作为文章的关键词选项。留空无关键词。"},
        {"按钮输入标签组", "输入标签列表（Tags）：",
         "一行一个标签，在更新文章时将读取随机的几个标签作为文章的标签选项。留空无标签。"},
        {"按钮输入标题组", "输入简略标题列表（shorttitle）：",
         "一行一个标题，在更新文章时将读取随机的几个标题作为文章的简略标题选项。留空无简略标题。"},
        {"按钮输入作者组", "输入作者列表（Users）：",
         "一行一个作者，在更新文章时将读取随机的一个作者作为文章的作者选项"},
        {"按钮输入关键词列表", "输入关键词列表：",
         "一行一个关键词或锚文本代码，在更新文章时将随机插入到文章"},
        {"按钮输入标题关键词列表", "输入关键词列表：", "一行一个关键词，在更新文章时将在文章标题中插入"},
    };
    QString title;
    QString hint;
    if (buttonName == QStringLiteral("按钮输入尾部关键词列表")) {
        const bool blocks = findChild<QCheckBox*>(QStringLiteral("选择框尾部调用文章块"))->isChecked();
        title = blocks ? QStringLiteral("输入路径列表：") : QStringLiteral("输入关键词列表：");
        hint = blocks ? QStringLiteral(
                            "一行一个文章路径或文件夹路径，在更新文章时将根据分块符分割这些外部文章为多块，随"
                            "机调用，在文章尾部插入")
                      : QStringLiteral("一行一个关键词或锚文本代码，在更新文章时将在文章尾部插入");
    } else {
        for (const ListCaller& caller : kCallers)
            if (buttonName == QString::fromUtf8(caller.button)) {
                title = QString::fromUtf8(caller.title);
                hint = QString::fromUtf8(caller.hint);
            }
    }
    TextDialogOptions options;
    options.contentButton = true;
    options.fileNameButton = true;
    const bool authors = buttonName == QStringLiteral("按钮输入作者组");
    auto* authorBox = findChild<QPlainTextEdit*>(QStringLiteral("编辑框作者组"));
    QWidget* target = findChild<QWidget*>(buttonName);
    QString text = authors ? authorBox->toPlainText() : tagOf(target);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\n'), QStringLiteral("\r\n"));
    if (!showTextDialog(text, hint, title, this, *m_services.dialogs, options)) return;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (authors) {
        authorBox->setPlainText(text);
    } else {
        setTag(target, text);
    }
}

void MainWindow::showHelp() { showHelpText(this, *m_services.dialogs); }

ScheduleWindow* MainWindow::ensureScheduleWindow() {
    if (m_scheduleWindow != nullptr) return m_scheduleWindow;
    ScheduleHooks hooks;
    hooks.isRunActive = [this] { return m_start->text() != kIdleCaption; };
    // A scheduled start finds the program busy as it may find a run going: it is left out.
    hooks.startRun = [this](content::ListingMethod listing) {
        if (!isRunning() && !isBatchBusy()) startRun(listing, true);
    };
    hooks.saveOptions = [this](const ScheduleOptions& options) {
        m_options.scheduleCompleteListing = options.completeListing;
        m_options.autoStartSchedule = options.autoStart;
        config::saveScheduleOptions(m_settings, m_options);
        m_settings.setSection(config::kRunOptionsSection);
        m_settings.writeBool(kScheduleDateKey, options.dateChecked);
    };
    m_scheduleWindow = new ScheduleWindow(m_services, std::move(hooks), this);
    m_settings.setSection(config::kRunOptionsSection);
    m_scheduleWindow->loadSchedule({m_options.scheduleCompleteListing, m_options.autoStartSchedule,
                                    m_settings.readBool(kScheduleDateKey, false)});
    return m_scheduleWindow;
}

void MainWindow::openSchedule() {
    ScheduleWindow* window = ensureScheduleWindow();
    window->show();
    window->raise();
    window->activateWindow();
}

void MainWindow::toggleLogWindow() {
    if (m_logButton->text() == QStringLiteral("查看日志")) {
        m_logButton->setText(QStringLiteral("关闭日志"));
        m_logWindow->showAndRaise();
    } else {
        m_logButton->setText(QStringLiteral("查看日志"));
        m_logWindow->hide();
    }
}

// The batch tools window: made on the first opening, then shown again with its state.
void MainWindow::openBatchTools() {
    if (m_batchWindow == nullptr) m_batchWindow = new BatchToolsWindow(*this, m_settings, m_services);
    m_batchWindow->show();
    m_batchWindow->raise();
    m_batchWindow->activateWindow();
}

// ---- runs -------------------------------------------------------------------------------------

void MainWindow::startOrStopRun(content::ListingMethod listing) {
    if (!isRunning()) {
        // A run and a batch operation would both drive the same sites and the same site group.
        if (isBatchBusy()) {
            m_services.dialogs->message(
                this, QStringLiteral("批处理工具正在执行，请等它完成或停止后再开始站群更新。"));
            return;
        }
        startRun(listing, false);
        return;
    }
    m_start->setText(QStringLiteral("正在停止中.."));
    m_run->requestStop();
}

void MainWindow::startRun(content::ListingMethod listing, bool scheduled) {
    pushRunSettings();
    for (int row = 0; row < m_siteListView->count(); ++row) {
        QListWidgetItem* item = m_siteListView->item(row);
        if (item->checkState() != Qt::Checked)
            item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
    }
    // The caption changes at once; the run's own state report follows.
    onRunStateChanged(engine::RunState::Running);
    if (!m_run->startOrStop(m_list, listing, scheduled)) onRunStateChanged(m_run->state());
}

void MainWindow::stopSelectedSite() {
    const int row = m_siteListView->currentRow();
    if (row < 0) {
        m_stopSite->setEnabled(false);
        return;
    }
    m_run->stopSelectedSite(row + 1);
}

void MainWindow::onRunStateChanged(engine::RunState state) {
    m_runState = state;
    switch (state) {
        case engine::RunState::Idle:
            m_start->setText(kIdleCaption);
            break;
        case engine::RunState::Running:
            m_start->setText(QStringLiteral("停止站群更新"));
            break;
        case engine::RunState::Stopping:
            m_start->setText(QStringLiteral("正在停止中.."));
            break;
    }
    const bool running = state != engine::RunState::Idle;
    setSiteEditingEnabled(!running);
    m_editButtons->setVisible(!running);
    m_stopSite->setVisible(running);
    statusBar()->setVisible(running);
    if (running && !m_statusTimer->isActive()) {
        m_runClock.start();
        m_finishedSites = 0;
        m_published = 0;
        m_plannedTotal = 0;
        const config::RunOptions options = runOptions();
        const int global = static_cast<int>(backend::lenientReal(options.globalCount));
        bool known = true;
        for (const config::SiteConfig& site : m_list.sites) {
            if (!site.enabled) continue;
            const int count = options.useGlobalCount ? global : site.articleCount;
            if (count <= 0) known = false;
            m_plannedTotal += count;
        }
        if (!known) m_plannedTotal = 0;
        m_progress->setVisible(m_plannedTotal > 0);
        m_progress->setRange(0, std::max(1, m_plannedTotal));
        m_progress->setValue(0);
        m_statusTimer->start();
    }
    updateStatus();
}

void MainWindow::onSiteFinished(int siteIndex) {
    ++m_finishedSites;
    if (QListWidgetItem* item = m_siteListView->item(siteIndex - 1)) {
        item->setData(Qt::UserRole + 1, true);
        item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
    }
    m_stopSite->setEnabled(false);
    updateStatus();
}

void MainWindow::onRunEnded(const engine::RunTotals& totals) {
    m_statusTimer->stop();
    m_published = totals.totalUpdated;
    for (int row = 0; row < m_siteListView->count(); ++row) {
        QListWidgetItem* item = m_siteListView->item(row);
        item->setData(Qt::UserRole + 1, false);
        item->setForeground(palette().brush(QPalette::Active, QPalette::Text));
    }
    m_statusLabel->clear();
    m_progress->hide();
    onRunStateChanged(engine::RunState::Idle);
    if (m_exiting) return;
    if (totals.scheduled) {
        if (m_logButton->text() == QStringLiteral("关闭日志")) toggleLogWindow();
    } else if (runOptions().shutdownWhenDone) {
        // The global save first (without its box), then the countdown instead of the message.
        m_list.current = m_siteListView->currentRow();
        config::globalSave(m_settings, runOptions(), m_list);
        CountdownWindow::shutdownCountdown(this, m_services);
    } else {
        m_services.dialogs->message(this, QString::fromStdString(engine::completionMessage(totals)));
    }
    emit runFinished();
}

void MainWindow::updateStatus() {
    if (m_runState == engine::RunState::Idle) return;
    m_published = m_run->totalUpdated();
    int enabled = 0;
    for (const config::SiteConfig& site : m_list.sites) enabled += site.enabled ? 1 : 0;
    const qint64 seconds = m_runClock.elapsed() / 1000;
    m_statusLabel->setText(
        QStringLiteral("站点：进行中 %1 / 已完成 %2 / 共 %3    已发布 %4 篇    用时 %5:%6:%7")
            .arg(std::max(0, enabled - m_finishedSites))
            .arg(m_finishedSites)
            .arg(enabled)
            .arg(m_published)
            .arg(seconds / 3600, 2, 10, QChar('0'))
            .arg(seconds / 60 % 60, 2, 10, QChar('0'))
            .arg(seconds % 60, 2, 10, QChar('0')));
    if (m_plannedTotal > 0) m_progress->setValue(std::min(m_published, m_plannedTotal));
}

}  // namespace oz::ui

#include "main_window.moc"
