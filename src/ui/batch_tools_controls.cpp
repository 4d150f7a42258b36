// The controls of the batch tools window: the scope, the three frames of operations and the
// generator tools, with their names in the settings section "批处理工具".

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "backend/article_deletion.h"
#include "backend/batch_category_read.h"
#include "backend/bulk_import.h"
#include "backend/category_creation.h"
#include "backend/category_deletion.h"
#include "backend/homepage_rewrite.h"
#include "ui/batch_tools_window.h"
#include "ui/control_state.h"
#include "ui/form_widgets.h"
#include "ui/pinyin_window.h"
#include "ui/random_text_window.h"

namespace oz::ui {

namespace {

const QString kDifferentPerSite = QStringLiteral("每个站点创建不同栏目");

QLineEdit* numberBox(const QString& name, const QString& text, bool fraction = false) {
    auto* edit = named(new QLineEdit(text), name);
    edit->setFixedWidth(56);
    setNumberValidator(edit, fraction);
    return edit;
}

}  // namespace

void BatchToolsWindow::buildControls() {
    m_scopeCurrent = named(new QRadioButton(QStringLiteral("当前网站")), QStringLiteral("单选框选定"));
    m_scopeChecked = named(new QRadioButton(QStringLiteral("勾选网站")), QStringLiteral("单选框勾选"));
    m_scopeAll = named(new QRadioButton(QStringLiteral("全部网站")), QStringLiteral("单选框全部"));
    m_scopeChecked->setChecked(true);
    // Exactly one scope is always checked: a second click on the checked one leaves it checked.
    m_scopeGroup = new QButtonGroup(this);
    m_scopeGroup->setExclusive(true);
    for (QRadioButton* radio : {m_scopeCurrent, m_scopeChecked, m_scopeAll}) m_scopeGroup->addButton(radio);
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
    categories->addStretch();
    // The check box goes under the ids: beside them the row would not fit the window's width.
    auto* categoryCell = new QVBoxLayout;
    categoryCell->addLayout(categories);
    categoryCell->addWidget(m_deleteFiles);
    grid1->addWidget(m_deleteCategories, 1, 0);
    grid1->addLayout(categoryCell, 1, 1);

    m_createCategories = named(new QPushButton(QString::fromUtf8(backend::kCreateCategoriesCaption)),
                               QStringLiteral("按钮创建栏目"));
    auto* create = m_createCategories;
    m_showCreated = named(new QCheckBox(QStringLiteral("显示创建的栏目")), QStringLiteral("选择框显示栏目"));
    m_showCreated->setChecked(true);  // visible, as the command line creates them unless --hidden
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
    m_categoryList = textBox(QStringLiteral("编辑框栏目列表"));
    setTag(m_categoryList, kTagBytes);
    m_categoryList->hide();
    grid1->addWidget(m_categoryList, 5, 0, 1, 2);

    // 分组框2: importing sites and reading their category lists.
    auto* frame2 =
        named(new QGroupBox(QStringLiteral("批量导入站点和批量读取栏目列表")), QStringLiteral("分组框2"));
    auto* grid2 = new QGridLayout(frame2);
    m_import = named(new QPushButton(QString::fromUtf8(backend::kBulkImportCaption)),
                     QStringLiteral("按钮批量导入"));
    m_readLists = named(new QCheckBox(QStringLiteral("读取栏目列表")), QStringLiteral("选择框读取栏目列表"));
    m_checkAll = named(new QCheckBox(QStringLiteral("全选栏目列表")), QStringLiteral("选择框全选栏目列表"));
    m_read =
        named(new QPushButton(QString::fromUtf8(backend::kBatchReadCaption)), QStringLiteral("按钮批量读取"));
    m_skipRead =
        named(new QCheckBox(QStringLiteral("跳过已读过栏目的站点")), QStringLiteral("选择框跳过已读站点"));
    auto* importRow = new QHBoxLayout;
    importRow->addWidget(m_import);
    importRow->addWidget(m_readLists);
    importRow->addWidget(m_checkAll);
    importRow->addStretch();
    grid2->addLayout(importRow, 0, 0, 1, 2);
    auto* readRow = new QHBoxLayout;
    readRow->addWidget(m_read);
    readRow->addWidget(m_skipRead);
    readRow->addStretch();
    grid2->addLayout(readRow, 1, 0, 1, 2);
    auto* delayRow = new QHBoxLayout;
    delayRow->addWidget(new QLabel(QStringLiteral("导入延迟秒：")));
    m_delay = numberBox(QStringLiteral("编辑框导入延迟秒"), QStringLiteral("2"), true);
    delayRow->addWidget(m_delay);
    delayRow->addStretch();
    grid2->addLayout(delayRow, 2, 0, 1, 2);
    m_domainList = textBox(QStringLiteral("编辑框域名列表"));
    setTag(m_domainList, kTagBytes);
    m_domainList->hide();
    grid2->addWidget(m_domainList, 3, 0, 1, 2);

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

    // The buttons show two-line progress ("域名" over the counts) and keep their size while they do,
    // so the frames do not jump with every caption.
    const QFontMetrics metrics(font());
    const int twoLines = 2 * metrics.height() + 12;
    for (QPushButton* button : {m_deleteArticles, m_deleteCategories, m_createCategories, m_rewrite}) {
        button->setFixedSize(150, twoLines);
    }
    m_import->setMinimumWidth(metrics.horizontalAdvance(QStringLiteral("已导入 0000 个站点")) + 24);
    m_read->setMinimumWidth(metrics.horizontalAdvance(m_read->text()) + 24);
    // A right-button release on "批量创建栏目" creates the categories from list files.
    m_createCategories->installEventFilter(this);

    connect(m_countMode, &QComboBox::currentIndexChanged, this, [this] { applyCountRule(); });
    connect(m_deleteArticles, &QPushButton::clicked, this, [this] { deleteArticles(); });
    connect(m_deleteCategories, &QPushButton::clicked, this, [this] { deleteCategories(); });
    connect(create, &QPushButton::clicked, this, [this] { createCategories(false); });
    connect(m_rewrite, &QPushButton::clicked, this, [this] { rewriteHomePages(); });
    connect(m_import, &QPushButton::clicked, this, [this] { importSites(); });
    connect(m_read, &QPushButton::clicked, this, [this] { readCategoryLists(); });
    connect(pinyin, &QPushButton::clicked, this, [this] {
        if (m_pinyin == nullptr) m_pinyin = new PinyinWindow(m_services, m_settings, this);
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

}  // namespace oz::ui
