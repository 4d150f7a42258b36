#include "ui/category_panel.h"

#include <QApplication>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <set>

#include "backend/admin_session.h"
#include "backend/category_tree.h"
#include "backend/run_settings.h"
#include "config/site_config.h"
#include "http/http_requester.h"
#include "ui/category_tree_view.h"
#include "ui/control_state.h"
#include "ui/desktop.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"

namespace oz::ui {

namespace {

const QString kReadCaption = QStringLiteral("读取栏目列表");

}  // namespace

CategoryPanel::CategoryPanel(const UiServices& services, Hooks hooks, QWidget* parent)
    : QWidget(parent), m_services(services), m_hooks(std::move(hooks)) {
    auto* categories = new QVBoxLayout(this);
    categories->setContentsMargins(0, 0, 0, 0);
    categories->setSpacing(2);
    auto* access = new QHBoxLayout;
    access->addStretch(1);
    access->addWidget(combo("组合框访问方式", {QStringLiteral("访问方式1"), QStringLiteral("访问方式2")}));
    categories->addLayout(access);
    auto* treeButtons = new QHBoxLayout;
    m_read = button("按钮读取栏目列表", kReadCaption);
    treeButtons->addWidget(m_read, 1);
    struct CheckButton {
        const char* name;
        const char* caption;
        int how;  // as setAllTreeChecks
    };
    for (const CheckButton& c :
         {CheckButton{"按钮全选", "+", 0}, {"按钮不选", "-", 1}, {"按钮反选", "+ -", 2}}) {
        QPushButton* b = button(c.name, QString::fromUtf8(c.caption));
        b->setMaximumWidth(36);
        treeButtons->addWidget(b);
        connect(b, &QPushButton::clicked, this, [this, how = c.how] { setAllTreeChecks(m_tree, how); });
    }
    categories->addLayout(treeButtons);
    m_tree = named(new QTreeWidget, QStringLiteral("树型框"));
    m_tree->setHeaderHidden(true);
    m_tree->setMinimumWidth(200);
    m_tree->setContextMenuPolicy(Qt::CustomContextMenu);
    categories->addWidget(m_tree, 1);

    connect(m_read, &QPushButton::clicked, this, &CategoryPanel::readCategoryList);
    connect(m_tree, &QTreeWidget::currentItemChanged, this, &CategoryPanel::onCurrentItemChanged);
    connect(m_tree, &QTreeWidget::itemDoubleClicked, this,
            [this](QTreeWidgetItem* item) { openCategoryPage(item); });
    // A right click opens the page of the node under the mouse and leaves the current node (and
    // with it the single-check rule's tick) where it was: the button's press never reaches the
    // tree (it would make the node current), only the context menu request that follows it.
    m_tree->viewport()->installEventFilter(this);
    m_tree->installEventFilter(this);
    connect(m_tree, &QTreeWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        QTreeWidgetItem* item = m_tree->itemAt(at);
        openCategoryPage(item != nullptr ? item : m_tree->currentItem());
    });
}

CategoryPanel::~CategoryPanel() {
    m_abort = true;
    if (m_thread.joinable()) m_thread.join();
}

bool CategoryPanel::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // Enter opens the current node's page, as a double click does.
    if (watched == m_tree && type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (isEnterKey(key) && m_tree->currentItem() != nullptr) {
            openCategoryPage(m_tree->currentItem());
            return true;
        }
    }
    if (watched == m_tree->viewport() &&
        (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick ||
         type == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CategoryPanel::showTree(const config::SiteConfig& site) {
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
}

void CategoryPanel::storeTree(config::SiteConfig& site) const {
    if (m_tree->topLevelItemCount() == 0 && !m_foreignTree.empty()) {
        site.categoryTree = m_foreignTree;
        site.categoryIds = m_foreignIds;
        site.categoryCurrentItem = m_foreignCurrentItem;
        return;
    }
    site.categoryTree = encodeCategoryTree(m_tree);
    site.categoryIds = checkedTreeIds(m_tree);
    const std::vector<QTreeWidgetItem*> items = treeItems(m_tree);
    const auto at = std::find(items.begin(), items.end(), m_tree->currentItem());
    site.categoryCurrentItem = at == items.end() ? 0 : static_cast<int>(at - items.begin());
}

void CategoryPanel::onCurrentItemChanged() {
    QTreeWidgetItem* current = m_tree->currentItem();
    if (current == nullptr || countCheckedTreeItems(m_tree) >= 2) return;
    for (QTreeWidgetItem* item : treeItems(m_tree)) item->setCheckState(0, Qt::Unchecked);
    current->setCheckState(0, Qt::Checked);
}

void CategoryPanel::openCategoryPage(QTreeWidgetItem* item) {
    if (item == nullptr) return;
    const backend::SiteForm form = m_hooks.connection();
    const std::string host = config::normalizeHost(form.domain);
    const QString url = QStringLiteral("http%1://%2/plus/list.php?tid=%3")
                            .arg(form.https ? QStringLiteral("s") : QString(), QString::fromStdString(host))
                            .arg(item->data(0, Qt::UserRole).toInt());
    if (!m_services.desktop->openUrl(url)) {
        m_services.dialogs->message(this, QStringLiteral("无法打开浏览器，请自行访问：") + url, {},
                                    Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    }
}

bool CategoryPanel::isReading() const { return m_read->text() != kReadCaption; }

void CategoryPanel::abortReading() { m_abort = true; }

void CategoryPanel::readCategoryList() {
    if (isReading()) {
        // The request on the wire is cut off; the stored tree stays as it was.
        m_read->setText(QStringLiteral("正在停止.."));
        m_abort = true;
        return;
    }
    if (m_thread.joinable()) m_thread.join();
    m_abort = false;
    m_read->setText(QStringLiteral("正在读取栏目列表.."));
    const backend::SiteForm form = m_hooks.connection();
    std::set<int> checked;
    for (int id : checkedTreeIdList(m_tree)) checked.insert(id);
    const config::RunOptions options = m_hooks.runOptions();
    const std::filesystem::path dataDir = m_services.dataDir;
    QPointer<CategoryPanel> self(this);
    // The reading logs in and waits on the network: it runs off the window thread and reports back
    // through queued calls.
    // The panel joins the thread before it goes, so `abort` outlives it.
    const std::atomic<bool>* abort = &m_abort;
    m_thread = std::thread([self, form, checked, options, dataDir, abort] {
        const config::SiteConfig site = backend::siteFromForm(form, false);
        backend::OptionsRunSettings settings(options);
        backend::BackendContext context;
        context.settings = &settings;
        context.dataDir = dataDir;
        context.abort = abort;
        http::HttpRequester requester;
        requester.setStopFlags(abort);
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
                post([attempt](CategoryPanel& p) {
                    p.m_read->setText(QStringLiteral("重试(%1)读取栏目列表").arg(attempt));
                });
            });
        post([result](CategoryPanel& p) {
            if (p.m_abort) {
                p.m_read->setText(kReadCaption);
                emit p.readFinished();
                return;
            }
            {
                const QSignalBlocker blocker(p.m_tree);
                fillCategoryTree(p.m_tree, result.items);
            }
            p.m_foreignTree.clear();
            p.m_foreignIds.clear();
            if (!result.loggedIn) {
                p.m_read->setText(kReadCaption);
                p.m_services.dialogs->message(
                    &p, QString::fromStdString(backend::categoryLoginFailedMessage(result.failureReason)));
                emit p.readFinished();
                return;
            }
            p.m_read->setText(QStringLiteral("读取完成"));
            QTimer::singleShot(1000, &p, [&p] {
                p.m_read->setText(kReadCaption);
                emit p.readFinished();
            });
        });
    });
}

}  // namespace oz::ui
