#include "ui/site_list_panel.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>
#include <optional>

#include "config/proxy_setting.h"
#include "config/settings_file.h"
#include "config/site_list_store.h"
#include "config/system_reason.h"
#include "text/path_text.h"
#include "ui/background_work.h"
#include "ui/control_state.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"

namespace oz::ui {

namespace {

const QString kSiteFileFilter = QStringLiteral("配置文件 (*.ini);;全部文件 (*)");
// An entry of a site that has finished in the current run (its row is greyed).
constexpr int kFinishedRole = Qt::UserRole + 1;

// A site's category tree, kept as a byte value beside the settings file.
constexpr const char* kCategoryDataKey = "栏目数据";

}  // namespace

void deleteStaleSites(config::SettingsFile& file, int siteCount) {
    const std::vector<std::string> sections = file.sectionNames();
    for (int k = siteCount + 1;
         std::find(sections.begin(), sections.end(), config::siteSectionName(k)) != sections.end(); ++k) {
        file.setSection(config::siteSectionName(k));
        file.writeBytes(kCategoryDataKey, {});
    }
    config::deleteStaleSiteSections(file, siteCount);
}

SiteListPanel::SiteListPanel(const UiServices& services, Hooks hooks, QWidget* parent)
    : QWidget(parent),
      m_services(services),
      m_hooks(std::move(hooks)),
      m_fileWork(std::make_unique<BackgroundWork>(this)) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(2);
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
    m_view = named(new QListWidget, QStringLiteral("列表框"));
    m_view->setMinimumHeight(90);
    m_view->setUniformItemSizes(true);
    // A long entry loses its middle, not its end: "域名(用户)" keeps the user in sight, and the
    // mouse over it shows the whole.
    m_view->setTextElideMode(Qt::ElideMiddle);
    v->addWidget(m_view, 1);

    m_editButtons = new QWidget;
    auto* editRow = new QHBoxLayout(m_editButtons);
    editRow->setContentsMargins(0, 0, 0, 0);
    for (auto [name, caption] :
         {std::pair{"按钮添加", "添加"}, {"按钮修改", "修改"}, {"按钮删除", "删除"}, {"按钮清空", "清空"}}) {
        QPushButton* b = button(name, QString::fromUtf8(caption));
        b->setMaximumWidth(48);
        editRow->addWidget(b);
    }
    m_modify = child<QPushButton>(m_editButtons, "按钮修改");
    v->addWidget(m_editButtons);
    m_stopSite = button("按钮停止更新", QStringLiteral("停止更新选定站点"));
    setTag(m_stopSite, QStringLiteral("只有选中一个站点配置时才允许点击"));
    m_stopSite->hide();
    v->addWidget(m_stopSite);

    auto clicked = [this](const char* name, auto slot) {
        connect(child<QPushButton>(this, name), &QPushButton::clicked, this, slot);
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
    connect(m_stopSite, &QPushButton::clicked, this, [this] {
        const int row = currentRow();
        if (row < 0) {
            m_stopSite->setEnabled(false);
            return;
        }
        emit stopSiteRequested(row);
    });
    connect(m_view, &QListWidget::currentRowChanged, this, &SiteListPanel::onCurrentRowChanged);
    connect(m_view, &QListWidget::itemChanged, this, &SiteListPanel::onItemChanged);
    // A double click toggles the entry's check mark, unless its first click already did (on the
    // check box itself).
    m_view->viewport()->installEventFilter(this);
    connect(m_view, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (item == m_pressedItem && item->checkState() != m_pressedState) return;
        item->setCheckState(item->checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    });
}

SiteListPanel::~SiteListPanel() = default;

int SiteListPanel::currentRow() const { return m_view->currentRow(); }

bool SiteListPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_view->viewport() && event->type() == QEvent::MouseButtonPress) {
        m_pressedItem = m_view->itemAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        m_pressedState = m_pressedItem != nullptr ? m_pressedItem->checkState() : Qt::Unchecked;
    }
    return QWidget::eventFilter(watched, event);
}

config::SiteList SiteListPanel::listForSave() const {
    config::SiteList list = m_list;
    list.current = currentRow();
    return list;
}

void SiteListPanel::loadList(config::SiteList list, int current) {
    m_list = std::move(list);
    m_fillingList = true;
    m_view->setUpdatesEnabled(false);
    for (const config::SiteConfig& site : m_list.sites) appendEntry(site);
    m_view->setUpdatesEnabled(true);
    m_fillingList = false;
    emit countChanged(m_list.size());
    if (current >= 0 && current < m_list.size()) {
        m_view->setCurrentRow(current);
    } else {
        m_list.current = -1;
    }
    m_lastClicked = m_view->currentRow();
}

void SiteListPanel::setFilePaths(const std::string& importPath, const std::string& exportPath) {
    m_importPath = importPath;
    m_exportPath = exportPath;
}

void SiteListPanel::appendEntry(const config::SiteConfig& site) {
    const QString label = QString::fromStdString(config::siteLabel(site));
    auto* item = new QListWidgetItem(label);
    item->setToolTip(label);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(site.enabled ? Qt::Checked : Qt::Unchecked);
    const bool filling = m_fillingList;
    m_fillingList = true;
    m_view->addItem(item);
    m_fillingList = filling;
}

void SiteListPanel::setEntryText(int row) {
    const config::SiteConfig& site = m_list.sites[static_cast<std::size_t>(row)];
    const bool filling = m_fillingList;
    m_fillingList = true;
    QListWidgetItem* item = m_view->item(row);
    const QString label = QString::fromStdString(config::siteLabel(site));
    item->setText(label);
    item->setToolTip(label);
    item->setCheckState(site.enabled ? Qt::Checked : Qt::Unchecked);
    m_fillingList = filling;
}

void SiteListPanel::setListCurrent(int row) {
    const QSignalBlocker blocker(m_view);
    m_view->setCurrentRow(row);
}

int SiteListPanel::saveSite(bool modify, int index, bool silent) {
    if (index == -2) index = currentRow();
    auto say = [&](const QString& text) {
        if (!silent) m_services.dialogs->message(this, text);
    };
    if (modify && (index < 0 || index >= m_list.size())) {
        say(QStringLiteral("请先选定一个站点配置再修改！"));
        return -1;
    }
    config::SiteConfig site = m_hooks.formSite();
    if (site.domain.empty()) return say(QStringLiteral("域名不能为空！")), -1;
    if (site.user.empty()) return say(QStringLiteral("用户不能为空！")), -1;
    if (site.password.empty()) return say(QStringLiteral("密码不能为空！")), -1;
    if (const std::string why = site.proxy ? config::proxySettingProblem(*site.proxy) : ""; !why.empty())
        return say(QString::fromStdString(why)), -1;
    if (std::optional<int> same = m_list.findDuplicate(site, modify ? index : -1)) {
        if (!silent) {
            const QString label = QString::fromStdString(config::siteLabel(site));
            if (m_services.dialogs->message(
                    this,
                    QStringLiteral("网站列表中已存在相同的‘域名(用户名)’：") + label +
                        QStringLiteral("\r\n\r\n请更改域名、用户名，或者点击‘确定’按钮定位相同项目"),
                    {}, Dialogs::Buttons::OkCancel) == Dialogs::Answer::Ok)
                m_view->setCurrentRow(*same);
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

int SiteListPanel::appendSite(const config::SiteConfig& site) {
    appendSites({site});
    return m_list.size() - 1;
}

void SiteListPanel::appendSites(const std::vector<config::SiteConfig>& sites) {
    if (sites.empty()) return;
    m_view->setUpdatesEnabled(false);
    for (const config::SiteConfig& site : sites) {
        m_list.sites.push_back(site);
        m_list.sites.back().enabled = true;
        appendEntry(m_list.sites.back());
    }
    m_view->setUpdatesEnabled(true);
    m_view->setCurrentRow(m_list.size() - 1);
    emit countChanged(m_list.size());
}

void SiteListPanel::storeSiteTree(int row, const config::SiteConfig& record) {
    if (row < 0 || row >= m_list.size()) return;
    config::SiteConfig& site = m_list.sites[static_cast<std::size_t>(row)];
    site.categoryTree = record.categoryTree;
    site.categoryIds = record.categoryIds;
    site.categoryCurrentItem = 0;
    if (currentRow() == row) emit currentChanged(row);
}

void SiteListPanel::selectSite(int row) {
    if (row >= 0 && row < m_list.size()) m_view->setCurrentRow(row);
}

void SiteListPanel::deleteSite() {
    const int row = currentRow();
    if (row < 0) {
        m_services.dialogs->message(this, QStringLiteral("请先选定一个站点配置再删除！"));
        return;
    }
    m_list.sites.erase(m_list.sites.begin() + row);
    {
        const QSignalBlocker blocker(m_view);
        delete m_view->takeItem(row);
    }
    const int next = std::min(row, m_list.size() - 1);
    setListCurrent(next);
    m_lastClicked = next;
    m_list.current = next;
    emit currentChanged(next);
    emit countChanged(m_list.size());
}

void SiteListPanel::clearSites() {
    if (m_services.dialogs->message(this, QStringLiteral("确实要清空所有站点配置吗？"), {},
                                    Dialogs::Buttons::OkCancel,
                                    Dialogs::Icon::Question) != Dialogs::Answer::Ok)
        return;
    m_list.sites.clear();
    {
        const QSignalBlocker blocker(m_view);
        m_view->clear();
    }
    m_lastClicked = -1;
    emit countChanged(0);
}

void SiteListPanel::moveSite(int step) {
    const int row = currentRow();
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
    setListCurrent(other);
    m_lastClicked = other;
}

void SiteListPanel::exportSites() {
    if (m_fileWork->busy()) return;
    const QString file =
        m_services.dialogs->saveFileName(this, QStringLiteral("将站点配置文件导出"), kSiteFileFilter,
                                         QString::fromStdString(m_exportPath), QStringLiteral("ini"), false);
    if (file.isEmpty()) return;
    // The export writes into a settings-format file: an existing one keeps its other sections.
    if (QFileInfo::exists(file) &&
        m_services.dialogs->message(this,
                                    QStringLiteral("文件已存在：") + file +
                                        QStringLiteral("\r\n\r\n导出会把站点列表写进这个文件，替换它原有的站"
                                                       "点列表；文件里的其他设置保持不变。是否继续？"),
                                    {}, Dialogs::Buttons::OkCancel,
                                    Dialogs::Icon::Question) != Dialogs::Answer::Ok)
        return;
    // The file's lastError when the export failed; nothing when it was written.
    // An existing file is rewritten whole through a temporary file by the settings file itself. A
    // new one is written beside it under a temporary name (which a later start's clean-up knows)
    // and renamed into place when complete: a failed export leaves no empty or partial file.
    std::function<std::optional<std::string>()> work = [file, list = listForSave()] {
        const std::filesystem::path target = text::utf8Path(file.toStdString());
        std::filesystem::path path = target;
        const bool isNew = !QFileInfo::exists(file);
        if (isNew) path += ".tmp" + std::to_string(QCoreApplication::applicationPid());
        const QString lockFile = QString::fromStdString(text::pathText(path)) + QStringLiteral(".lock");
        const bool lockExisted = QFileInfo::exists(lockFile);
        config::SettingsFile out;
        bool saved = out.open(path);
        if (saved) {
            out.beginBatch();
            saved = config::saveSiteList(out, list);
            deleteStaleSites(out, list.size());
            saved = out.endBatch() && saved;
        }
        std::optional<std::string> error;
        if (!saved) error = out.lastError();
        out.close();
        // The lock guarded the writing only; the exported file is left alone.
        if (!lockExisted) QFile::remove(lockFile);
        if (isNew) {
            std::error_code ec;
            if (!error) std::filesystem::rename(path, target, ec);
            if (ec)
                error = "无法写入文件：" + text::pathText(target) + "（" + config::systemReason(ec.value()) +
                        "）";
            if (error) std::filesystem::remove(path, ec);
        }
        return error;
    };
    m_fileWork->start<std::optional<std::string>>(
        std::move(work), [this, file](const std::optional<std::string>& error) {
            if (error) {
                m_services.dialogs->message(this,
                                            QStringLiteral("导出失败：") + QString::fromStdString(*error), {},
                                            Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
            } else {
                m_exportPath = file.toStdString();
                m_services.dialogs->message(this, QStringLiteral("导出站点配置成功：") + file +
                                                      QStringLiteral("\r\n\r\n下次你可以重新导入进来！"));
            }
            emit fileWorkFinished();
        });
}

void SiteListPanel::importSites() {
    if (m_fileWork->busy()) return;
    const QString file = m_services.dialogs->openFileName(
        this, QStringLiteral("将站点配置文件导入"), kSiteFileFilter, QString::fromStdString(m_importPath));
    if (file.isEmpty()) return;
    struct Loaded {
        std::string error;  // empty when read
        config::SiteList list;
    };
    std::function<Loaded()> work = [file] {
        Loaded loaded;
        config::SettingsFile in;
        if (!in.open(text::utf8Path(file.toStdString()), config::SettingsFile::Mode::ReadOnly)) {
            loaded.error = in.lastError();
            return loaded;
        }
        config::loadSiteList(in, loaded.list);
        return loaded;
    };
    m_fileWork->start<Loaded>(std::move(work), [this, file](Loaded loaded) {
        if (!loaded.error.empty()) {
            m_services.dialogs->message(this,
                                        QStringLiteral("导入失败：") + QString::fromStdString(loaded.error),
                                        {}, Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
        } else {
            m_importPath = file.toStdString();
            m_view->setUpdatesEnabled(false);
            for (config::SiteConfig& site : loaded.list.sites) {
                m_list.sites.push_back(std::move(site));
                appendEntry(m_list.sites.back());
            }
            m_view->setUpdatesEnabled(true);
            emit countChanged(m_list.size());
        }
        emit fileWorkFinished();
    });
}

void SiteListPanel::setEnabled(int row, bool enabled) {
    m_list.sites[static_cast<std::size_t>(row)].enabled = enabled;
    setEntryText(row);
}

void SiteListPanel::setAllChecks(int how) {
    if (m_hooks.isRunning()) return;
    std::vector<int> changed;
    for (int row = 0; row < m_list.size(); ++row) {
        const bool was = m_list.sites[static_cast<std::size_t>(row)].enabled;
        const bool now = how == 0 ? true : how == 1 ? false : !was;
        if (now == was) continue;
        setEnabled(row, now);
        changed.push_back(row);
    }
    if (!changed.empty()) m_hooks.storeChecks(changed);
}

void SiteListPanel::onCurrentRowChanged(int row) {
    m_list.current = row;
    updateStopButton();
    emit currentChanged(row);
    applyMultiCheck(row, QGuiApplication::keyboardModifiers());
}

void SiteListPanel::applyMultiCheck(int row, Qt::KeyboardModifiers modifiers) {
    if (row < 0) return;
    const int previous = m_lastClicked;
    m_lastClicked = row;
    if (m_hooks.isRunning()) return;
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
    std::vector<int> changed;
    for (int i = 0; i < m_list.size(); ++i) {
        if (wanted[static_cast<std::size_t>(i)] == m_list.sites[static_cast<std::size_t>(i)].enabled)
            continue;
        setEnabled(i, wanted[static_cast<std::size_t>(i)]);
        changed.push_back(i);
    }
    if (!changed.empty()) m_hooks.storeChecks(changed);
}

void SiteListPanel::onItemChanged(QListWidgetItem* item) {
    if (m_fillingList) return;
    const int row = m_view->row(item);
    if (row < 0 || row >= m_list.size()) return;
    const bool checked = item->checkState() == Qt::Checked;
    if (checked == m_list.sites[static_cast<std::size_t>(row)].enabled) return;
    if (m_hooks.isRunning()) {
        setEntryText(row);  // check marks cannot change during a run
        return;
    }
    setEnabled(row, checked);
    m_hooks.storeChecks({row});
}

// "停止更新选定站点" acts on the current entry: only one that takes part and is not done yet.
void SiteListPanel::updateStopButton() {
    const QListWidgetItem* item = m_view->currentItem();
    m_stopSite->setEnabled(item != nullptr && item->checkState() == Qt::Checked &&
                           !item->data(kFinishedRole).toBool());
}

void SiteListPanel::setRunning(bool running) {
    if (running == m_running) return;
    m_running = running;
    m_editButtons->setVisible(!running);
    m_stopSite->setVisible(running);
    for (int row = 0; row < m_view->count(); ++row) {
        QListWidgetItem* item = m_view->item(row);
        item->setData(kFinishedRole, false);
        const bool grey = running && item->checkState() != Qt::Checked;
        item->setForeground(palette().brush(grey ? QPalette::Disabled : QPalette::Active, QPalette::Text));
    }
    updateStopButton();
}

void SiteListPanel::markFinished(int row) {
    if (QListWidgetItem* item = m_view->item(row)) {
        item->setData(kFinishedRole, true);
        item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
    }
    updateStopButton();
}

}  // namespace oz::ui
