#include "ui/log_window.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "ui/desktop.h"
#include "ui/form_widgets.h"
#include "ui/window_run.h"

namespace oz::ui {

LogModel::LogModel(std::size_t capacity, QObject* parent)
    : QAbstractTableModel(parent), m_capacity(capacity < 1 ? 1 : capacity) {}

void LogModel::append(const engine::LogEntry& entry) {
    m_pending.push_back({QString::fromStdString(entry.time), QString::fromStdString(entry.siteLabel),
                         QString::fromStdString(entry.text)});
    if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &LogModel::flush);
    }
}

void LogModel::clear() {
    beginResetModel();
    m_rows.clear();
    m_pending.clear();
    endResetModel();
}

void LogModel::flush() {
    m_flushQueued = false;
    if (m_pending.empty()) return;
    std::size_t skip = 0;  // a batch larger than the ring keeps only its newest lines
    if (m_pending.size() > m_capacity) skip = m_pending.size() - m_capacity;
    const std::size_t incoming = m_pending.size() - skip;
    const std::size_t overflow =
        m_rows.size() + incoming > m_capacity ? m_rows.size() + incoming - m_capacity : 0;
    if (overflow > 0) {
        beginRemoveRows({}, 0, static_cast<int>(overflow) - 1);
        m_rows.erase(m_rows.begin(), m_rows.begin() + static_cast<std::ptrdiff_t>(overflow));
        endRemoveRows();
    }
    const int first = static_cast<int>(m_rows.size());
    beginInsertRows({}, first, first + static_cast<int>(incoming) - 1);
    for (std::size_t i = skip; i < m_pending.size(); ++i) m_rows.push_back(std::move(m_pending[i]));
    endInsertRows();
    m_pending.clear();
    emit flushed();
}

int LogModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int LogModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 3; }

QVariant LogModel::data(const QModelIndex& index, int role) const {
    if ((role != Qt::DisplayRole && role != Qt::ToolTipRole) || !index.isValid() || index.row() >= rowCount())
        return {};
    const Row& row = m_rows[static_cast<std::size_t>(index.row())];
    // The pane cuts a long line at its width; the mouse over it shows the whole line.
    if (role == Qt::ToolTipRole) return row.time + QChar(' ') + row.site + QChar(' ') + row.text;
    switch (index.column()) {
        case 0:
            return row.time;
        case 1:
            return row.site;
        case 2:
            return row.text;
        default:
            return {};
    }
}

QVariant LogModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
        case 0:
            return QStringLiteral("时间");
        case 1:
            return QStringLiteral("站点");
        case 2:
            return QStringLiteral("内容");
        default:
            return {};
    }
}

LogWindow::LogWindow(Desktop& desktop, QWidget* parent) : QWidget(parent, Qt::Window), m_desktop(desktop) {
    setWindowTitle(QStringLiteral("日志"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);

    m_model = new LogModel(LogModel::kDefaultCapacity, this);
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("列表框"));
    m_view->setModel(m_model);
    // Fixed row heights: inserting and scrolling never measure rows one by one.
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_view->verticalHeader()->setDefaultSectionSize(m_view->fontMetrics().height() + 4);
    m_view->setShowGrid(false);
    m_view->setWordWrap(false);
    m_view->setAlternatingRowColors(true);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->setTabKeyNavigation(false);  // Tab leaves the pane for the button, as everywhere else
    m_view->horizontalHeader()->setStretchLastSection(true);
    m_view->horizontalHeader()->setHighlightSections(false);
    m_view->horizontalHeader()->resizeSection(0, 70);
    m_view->horizontalHeader()->resizeSection(1, 190);
    layout->addWidget(m_view, 1);

    m_locate = new QPushButton(QStringLiteral("开始采集之后才有日志"), this);
    m_locate->setObjectName(QStringLiteral("按钮定位日志"));
    layout->addWidget(m_locate);

    // New lines scroll into view unless the operator has scrolled up to read; reaching the end
    // again resumes following.
    QScrollBar* bar = m_view->verticalScrollBar();
    connect(bar, &QScrollBar::actionTriggered, this, [this, bar] {
        QTimer::singleShot(0, this, [this, bar] { m_followTail = bar->value() >= bar->maximum(); });
    });
    connect(m_model, &LogModel::flushed, this, [this] {
        if (m_followTail) m_view->scrollToBottom();
    });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { m_followTail = true; });
    connect(m_locate, &QPushButton::clicked, this, &LogWindow::revealLog);
    resize(534, 436);
    readyForKeyboard(this);
}

void LogWindow::follow(WindowRun& run) {
    connect(&run, &WindowRun::logOpened, this, [this](const QString& file) {
        startLog(file);
        showAndRaise();
    });
    connect(&run, &WindowRun::logLine, this, &LogWindow::append);
}

void LogWindow::startLog(const QString& logFile) {
    m_logFile = logFile;
    m_model->clear();
    m_locate->setText(QStringLiteral("点击定位日志文件：") + QFileInfo(logFile).fileName());
}

void LogWindow::showAndRaise() {
    setWindowState(windowState() & ~Qt::WindowMinimized);
    fitToScreen(this);
    show();
    raise();
    activateWindow();
}

void LogWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    hide();
    emit closedByUser();
}

void LogWindow::revealLog() {
    if (!m_logFile.isEmpty()) m_desktop.revealPath(m_logFile);
}

}  // namespace oz::ui
