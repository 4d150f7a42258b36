#include "ui/site_form_panel.h"

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
#include <QToolButton>
#include <QVBoxLayout>

#include "config/pinned_key.h"
#include "ui/control_state.h"
#include "ui/desktop.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/site_bindings.h"
#include "ui/text_dialog.h"

namespace oz::ui {

namespace {

const QStringList kMethodItems = {QStringLiteral("随机词组"), QStringLiteral("自动分词"),
                                  QStringLiteral("使用标题"), QStringLiteral("留空内容"),
                                  QStringLiteral("内容首行")};

// A control whose caption says too little on its own gets a name a screen reader can say.
template <typename Widget>
Widget* spoken(Widget* widget, const QString& name) {
    widget->setAccessibleName(name);
    return widget;
}

// The colour picker of the title colour: a button showing the colour, value 0x00BBGGRR.
class ColorPicker final : public QToolButton {
    Q_OBJECT
    Q_PROPERTY(int colorValue READ colorValue WRITE setColorValue)
   public:
    ColorPicker() {
        setObjectName(QStringLiteral("颜色选择器标题颜色"));
        setAccessibleName(QStringLiteral("标题颜色"));  // a screen reader read the frame's title
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

// The list buttons' dialogs: title and hint.
struct ListCaller {
    const char* button;
    const char* title;
    const char* hint;
};
const ListCaller kListCallers[] = {
    {"按钮输入关键词组", "输入关键词列表（keywords）：",
     "一行一个关键词，在更新文章时将读取随机的几个关键词作为文章的关键词选项。留空无关键词。"},
    {"按钮输入标签组", "输入标签列表（Tags）：",
     "一行一个标签，在更新文章时将读取随机的几个标签作为文章的标签选项。留空无标签。"},
    {"按钮输入标题组", "输入简略标题列表（shorttitle）：",
     "一行一个标题，在更新文章时将读取随机的几个标题作为文章的简略标题选项。留空无简略标题。"},
    {"按钮输入作者组", "输入作者列表（Users）：",
     "一行一个作者，在更新文章时将读取随机的一个作者作为文章的作者选项"},
    {"按钮输入关键词列表", "输入关键词列表：", "一行一个关键词或锚文本代码，在更新文章时将随机插入到文章"},
    {"按钮输入标题关键词列表", "输入关键词列表：", "一行一个关键词，在更新文章时将在文章标题中插入"},
};

}  // namespace

SiteFormPanel::SiteFormPanel(const UiServices& services, QWidget* scope)
    : QObject(scope), m_services(services), m_scope(scope) {}

QWidget* SiteFormPanel::buildConnectionFields() {
    auto* fields = new QWidget;
    auto* form = new QGridLayout(fields);
    form->setContentsMargins(0, 0, 0, 0);
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
    form->addWidget(label(QStringLiteral("公钥：")), 6, 0);
    QLineEdit* pin = edit("编辑框证书公钥");
    pin->setPlaceholderText(QStringLiteral("留空：按系统的证书颁发机构验证"));
    pin->setToolTip(QStringLiteral(
        "信任这个站点自己的证书（自签名、过期或域名不符）：填写它的公钥指纹 sha256//…，"
        "多个用“;”隔开，或公钥文件的路径。\n取得指纹：openssl s_client -connect 域名:443 </dev/null | "
        "openssl x509 -pubkey -noout | openssl pkey -pubin -outform der | openssl dgst -sha256 -binary | "
        "base64"));
    form->addWidget(pin, 6, 1);
    // The form of the pin is checked as it is typed: a wrong one shows a red frame and says why.
    const QString pinHelp = pin->toolTip();
    connect(pin, &QLineEdit::textChanged, pin, [pin, pinHelp](const QString& text) {
        const QString problem = QString::fromStdString(config::pinProblem(text.toStdString()));
        pin->setStyleSheet(problem.isEmpty() ? QString()
                                             : QStringLiteral("QLineEdit { border: 1px solid #c00000; }"));
        pin->setToolTip(problem.isEmpty() ? pinHelp : problem + QStringLiteral("\n\n") + pinHelp);
        pin->setAccessibleDescription(problem);
    });
    form->addWidget(label(QStringLiteral("代理：")), 7, 0);
    QLineEdit* proxy = edit("编辑框代理服务器");
    proxy->setPlaceholderText(QStringLiteral("留空：用默认代理服务器（没有则直接连接）"));
    proxy->setToolTip(QStringLiteral(
        "这个站点的每个请求都经过它，代理不通时不会改为直接连接。\n"
        "http://[用户:密码@]主机:端口、https://…（到代理用 TLS）、socks5://[用户:密码@]主机:端口"
        "（由代理解析域名）；IE：环境变量中的代理"));
    proxy->setAccessibleName(QStringLiteral("代理服务器"));
    form->addWidget(proxy, 7, 1);
    m_parts.push_back(fields);
    return fields;
}

QGroupBox* SiteFormPanel::buildArticleOptions(QWidget* beside) {
    auto* frame = named(new QGroupBox(QStringLiteral("发帖选项")), QStringLiteral("分组框发帖选项1"));
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
    auto* authorBox = textBox(QStringLiteral("编辑框作者组"));
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
    auto* picker = new ColorPicker;
    connect(picker, &QToolButton::clicked, this, [this, picker] { chooseTitleColor(picker); });
    numbers->addWidget(picker);
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
    pagesRow->addWidget(spoken(check("选择框文章分页", QStringLiteral("每")), QStringLiteral("文章分页")));
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
    h->addWidget(beside);
    m_parts.push_back(frame);
    return frame;
}

QGroupBox* SiteFormPanel::buildFileOptions() {
    auto* frame = named(new QGroupBox(QStringLiteral("文章选项")), QStringLiteral("分组框发帖选项"));
    auto* v = new QVBoxLayout(frame);
    QPushButton* choose = button("按钮选择目录", QStringLiteral(".."));
    choose->setMaximumWidth(30);
    choose->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(choose, &QPushButton::clicked, this, &SiteFormPanel::chooseArticleFolder);
    connect(choose, &QPushButton::customContextMenuRequested, this, [this] {
        const QString folder = child<QLineEdit>(m_scope, "编辑框文章目录")->text();
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
    m_parts.push_back(frame);
    return frame;
}

QGroupBox* SiteFormPanel::buildEnhancements() {
    auto* frame = named(new QGroupBox(QStringLiteral("增强功能")), QStringLiteral("分组框1"));
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
               spoken(check("选择框每次换词", QStringLiteral("每次换词")),
                      QStringLiteral("正文插入关键词每次换词"))}),
        0, 2);
    grid->addWidget(check("选择框尾部插入关键词", QStringLiteral("尾部插入关键词")), 1, 0);
    grid->addWidget(listButton("按钮输入尾部关键词列表"), 1, 1);
    grid->addLayout(
        rowOf({label(QStringLiteral("插入次数：")), range("编辑框尾部插入次数1", "编辑框尾部插入次数2", 40),
               spoken(check("选择框尾部每次换词", QStringLiteral("每次换词")),
                      QStringLiteral("尾部插入关键词每次换词")),
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
    m_parts.push_back(frame);
    return frame;
}

void SiteFormPanel::connectRules() {
    setNumberValidators(m_scope);
    // Every check box, radio and combo of the form re-applies the enabling rules.
    for (QWidget* part : m_parts) {
        for (QAbstractButton* b : part->findChildren<QAbstractButton*>())
            if (b->isCheckable()) connect(b, &QAbstractButton::toggled, this, &SiteFormPanel::applyEnabling);
        for (QComboBox* c : part->findChildren<QComboBox*>())
            connect(c, &QComboBox::currentIndexChanged, this, &SiteFormPanel::applyEnabling);
    }
}

void SiteFormPanel::showSite(const config::SiteConfig& site) {
    showSiteFields(m_scope, site);
    applyEnabling();
}

config::SiteConfig SiteFormPanel::readSite(config::SiteConfig base) const {
    return readSiteFields(m_scope, std::move(base));
}

backend::SiteForm SiteFormPanel::connection() const {
    auto text = [this](const char* name) { return child<QLineEdit>(m_scope, name)->text().toStdString(); };
    const std::string proxyText = text("编辑框代理服务器");
    return backend::SiteForm{text("编辑框域名"),
                             text("编辑框用户"),
                             text("编辑框密码"),
                             text("编辑框目录"),
                             child<QComboBox>(m_scope, "组合框编码")->currentIndex(),
                             child<QCheckBox>(m_scope, "选择框https")->isChecked(),
                             text("编辑框证书公钥"),
                             proxyText.empty() ? std::nullopt : std::optional(proxyText)};
}

void SiteFormPanel::applyEnabling() {
    auto on = [this](const char* name) {
        auto* b = child<QAbstractButton>(m_scope, name);
        return b != nullptr && b->isChecked();
    };
    auto enable = [this](std::initializer_list<const char*> names, bool state) {
        for (const char* name : names)
            if (auto* w = child(m_scope, name)) w->setEnabled(state);
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
        const int method = child<QComboBox>(m_scope, m.combo)->currentIndex();
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
    child<QAbstractButton>(m_scope, "选择框尾部插入关键词")
        ->setText(blocks ? QStringLiteral("尾部插入文章块") : QStringLiteral("尾部插入关键词"));
    child<QAbstractButton>(m_scope, "按钮输入尾部关键词列表")
        ->setText(blocks ? QStringLiteral("输入文章路径列表..") : QStringLiteral("输入关键词列表.."));
    enable({"按钮输入标题关键词列表", "编辑框插入概率", "组合框标题插入方式", "编辑框标题插入分隔符"},
           on("选择框标题插入关键词"));
    emit changed();
}

void SiteFormPanel::chooseArticleFolder() {
    auto* box = child<QLineEdit>(m_scope, "编辑框文章目录");
    const QString folder =
        m_services.dialogs->existingFolder(m_scope, QStringLiteral("请选择一个文件夹"), box->text());
    if (!folder.isEmpty()) box->setText(folder);
}

// The colour dialog of 颜色选择器标题颜色; the choice is stored with the site by 修改 / 添加.
void SiteFormPanel::chooseTitleColor(QWidget* picker) {
    const int value = picker->property(kColorValueProperty).toInt();
    QColor color(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
    if (!m_services.dialogs->chooseColor(m_scope->window(), QStringLiteral("标题颜色"), color)) return;
    picker->setProperty(kColorValueProperty, color.red() | (color.green() << 8) | (color.blue() << 16));
}

void SiteFormPanel::editList(const QString& buttonName) {
    QString title;
    QString hint;
    if (buttonName == QStringLiteral("按钮输入尾部关键词列表")) {
        const bool blocks = child<QCheckBox>(m_scope, "选择框尾部调用文章块")->isChecked();
        title = blocks ? QStringLiteral("输入路径列表：") : QStringLiteral("输入关键词列表：");
        hint = blocks ? QStringLiteral(
                            "一行一个文章路径或文件夹路径，在更新文章时将根据分块符分割这些外部文章为多块，随"
                            "机调用，在文章尾部插入")
                      : QStringLiteral("一行一个关键词或锚文本代码，在更新文章时将在文章尾部插入");
    } else {
        for (const ListCaller& caller : kListCallers)
            if (buttonName == QString::fromUtf8(caller.button)) {
                title = QString::fromUtf8(caller.title);
                hint = QString::fromUtf8(caller.hint);
            }
    }
    TextDialogOptions options;
    options.contentButton = true;
    options.fileNameButton = true;
    const bool authors = buttonName == QStringLiteral("按钮输入作者组");
    auto* authorBox = child<QPlainTextEdit>(m_scope, "编辑框作者组");
    QWidget* target = m_scope->findChild<QWidget*>(buttonName);
    QString text = authors ? authorBox->toPlainText() : tagOf(target);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QChar('\n'), QStringLiteral("\r\n"));
    if (!showTextDialog(text, hint, title, m_scope->window(), *m_services.dialogs, options)) return;
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (authors) {
        authorBox->setPlainText(text);
    } else {
        setTag(target, text);
    }
}

}  // namespace oz::ui

#include "site_form_panel.moc"
