#include "ui/schedule_window.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/date_time_text.h"
#include "schedule/schedule_file.h"
#include "schedule/time_point.h"
#include "text/clock.h"
#include "text/path_text.h"
#include "ui/dialogs.h"
#include "ui/form_widgets.h"
#include "ui/text_dialog.h"

namespace oz::ui {

namespace {

constexpr int kTagRole = Qt::UserRole + 1;

QString qs(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QPushButton* makeButton(const char* name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromUtf8(name));
    return button;
}

}  // namespace

ScheduleWindow::ScheduleWindow(const UiServices& services, ScheduleHooks hooks, QWidget* parent)
    : QWidget(parent, Qt::Window), m_services(services), m_hooks(std::move(hooks)) {
    if (m_services.clock == nullptr) m_services.clock = &text::systemClock();
    setWindowTitle(QStringLiteral("计划任务 - 在指定时间点自动“开始站群更新”"));
    auto* layout = new QHBoxLayout(this);

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("列表框计划列表"));
    m_list->setMinimumWidth(200);
    layout->addWidget(m_list, 1);

    auto* side = new QVBoxLayout;
    auto* grid = new QGridLayout;
    m_dateBox = new QCheckBox(QStringLiteral("日期："), this);
    m_dateBox->setObjectName(QStringLiteral("选择框日期"));
    m_date = new QDateEdit(this);
    m_date->setObjectName(QStringLiteral("日期框日期"));
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_date->setCalendarPopup(true);
    m_date->setEnabled(false);
    auto* timeLabel = new QLabel(QStringLiteral("时间："), this);
    m_time = new QLineEdit(QStringLiteral("12:12:12"), this);
    m_time->setObjectName(QStringLiteral("编辑框时间"));
    timeLabel->setBuddy(m_time);
    auto* readNow = makeButton("按钮读当前时间", QStringLiteral("<< 读当前时间"), this);
    grid->addWidget(m_dateBox, 0, 0);
    grid->addWidget(m_date, 0, 1);
    grid->addWidget(timeLabel, 1, 0);
    grid->addWidget(m_time, 1, 1);
    grid->addWidget(readNow, 2, 0, 1, 2);
    side->addLayout(grid);

    auto* edit = new QGridLayout;
    auto* add = makeButton("按钮添加", QStringLiteral("添加时间点"), this);
    auto* modify = makeButton("按钮修改", QStringLiteral("修改"), this);
    auto* remove = makeButton("按钮删除", QStringLiteral("删除时间点"), this);
    auto* clear = makeButton("按钮清空", QStringLiteral("清空时间点"), this);
    edit->addWidget(add, 0, 0);
    edit->addWidget(modify, 0, 1);
    edit->addWidget(remove, 1, 0);
    edit->addWidget(clear, 1, 1);
    side->addLayout(edit);

    auto* modeRow = new QHBoxLayout;
    modeRow->addWidget(new QLabel(QStringLiteral("读取文章模式："), this));
    m_left = new QRadioButton(QStringLiteral("鼠标左键"), this);
    m_left->setObjectName(QStringLiteral("单选框鼠标左键"));
    m_left->setToolTip(QStringLiteral("如左键点击“开始站群更新”：完整读取文章目录"));
    m_right = new QRadioButton(QStringLiteral("鼠标右键"), this);
    m_right->setObjectName(QStringLiteral("单选框鼠标右键"));
    m_right->setToolTip(QStringLiteral("如右键点击“开始站群更新”：快速读取文章目录"));
    auto* group = new QButtonGroup(this);
    group->addButton(m_left);
    group->addButton(m_right);
    m_left->setChecked(true);
    modeRow->addWidget(m_left);
    modeRow->addWidget(m_right);
    modeRow->addStretch(1);
    side->addLayout(modeRow);

    m_autoStart = new QCheckBox(QStringLiteral("启动软件时开始任务"), this);
    m_autoStart->setObjectName(QStringLiteral("选择框开始任务"));
    side->addWidget(m_autoStart);
    side->addStretch(1);
    m_startButton = makeButton("按钮开始任务", QStringLiteral("开始任务"), this);
    m_startButton->setMinimumHeight(m_startButton->sizeHint().height() * 3 / 2);
    side->addWidget(m_startButton);
    m_status = makeButton("按钮使用前必看", QStringLiteral("使用前必看"), this);
    m_status->setMinimumHeight(m_status->fontMetrics().height() * 2 + 12);
    side->addWidget(m_status);
    layout->addLayout(side);

    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("时钟计划任务"));
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &ScheduleWindow::scheduleTick);

    connect(m_dateBox, &QCheckBox::toggled, m_date, &QWidget::setEnabled);
    connect(readNow, &QPushButton::clicked, this, &ScheduleWindow::readCurrentTime);
    connect(add, &QPushButton::clicked, this, &ScheduleWindow::addRow);
    connect(modify, &QPushButton::clicked, this, &ScheduleWindow::modifyRow);
    connect(remove, &QPushButton::clicked, this, &ScheduleWindow::deleteRow);
    connect(clear, &QPushButton::clicked, this, &ScheduleWindow::clearRows);
    connect(m_startButton, &QPushButton::clicked, this, &ScheduleWindow::startOrStopSchedule);
    connect(m_status, &QPushButton::clicked, this, &ScheduleWindow::showHelp);
    // Enter in the time box adds the time point.
    connect(m_time, &QLineEdit::returnPressed, this, &ScheduleWindow::addRow);

    setTabOrder(m_list, m_dateBox);
    setTabOrder(m_dateBox, m_date);
    setTabOrder(m_date, m_time);
    setTabOrder(m_time, readNow);
    setTabOrder(readNow, add);
    setTabOrder(add, modify);
    setTabOrder(modify, remove);
    setTabOrder(remove, clear);
    setTabOrder(clear, m_left);
    setTabOrder(m_left, m_right);
    setTabOrder(m_right, m_autoStart);
    setTabOrder(m_autoStart, m_startButton);
    setTabOrder(m_startButton, m_status);

    const text::DateTime now = m_services.clock->now();
    m_date->setDate(QDate(now.year, now.month, now.day));
    readyForKeyboard(this);
}

void ScheduleWindow::loadSchedule(const ScheduleOptions& options) {
    setRows(schedule::loadSchedule(schedule::scheduleFilePath(m_services.dataDir)));
    m_autoStart->setChecked(options.autoStart);
    (options.completeListing ? m_left : m_right)->setChecked(true);
    m_dateBox->setChecked(options.dateChecked);
    m_date->setEnabled(options.dateChecked);
}

bool ScheduleWindow::saveSchedule() {
    const bool saved = schedule::saveSchedule(schedule::scheduleFilePath(m_services.dataDir), rows());
    if (m_hooks.saveOptions) m_hooks.saveOptions(options());
    return saved;
}

QString ScheduleWindow::scheduleFile() const {
    return QString::fromStdString(text::pathText(schedule::scheduleFilePath(m_services.dataDir)));
}

ScheduleOptions ScheduleWindow::options() const {
    return {m_left->isChecked(), m_autoStart->isChecked(), m_dateBox->isChecked()};
}

std::vector<schedule::ScheduleRow> ScheduleWindow::rows() const {
    std::vector<schedule::ScheduleRow> rows;
    for (int i = 0; i < m_list->count(); ++i) {
        const QListWidgetItem* item = m_list->item(i);
        rows.push_back(
            {item->text().toStdString(), item->data(kTagRole).toInt(), item->checkState() == Qt::Checked});
    }
    return rows;
}

void ScheduleWindow::setRows(const std::vector<schedule::ScheduleRow>& rows) {
    m_list->clear();
    for (const schedule::ScheduleRow& row : rows) {
        auto* item = new QListWidgetItem(QString::fromStdString(row.text), m_list);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(row.checked ? Qt::Checked : Qt::Unchecked);
        item->setData(kTagRole, row.tag);
    }
}

QString ScheduleWindow::rowTextFromControls() const {
    std::optional<text::DateTime> date;
    if (m_dateBox->isChecked()) {
        const QDate d = m_date->date();
        date = text::DateTime{d.year(), d.month(), d.day(), 0, 0, 0};
    }
    return QString::fromStdString(schedule::buildRowText(date, m_time->text().trimmed().toStdString()));
}

bool ScheduleWindow::timeIsValid() {
    if (schedule::parseTimePoint(rowTextFromControls().toStdString())) return true;
    m_services.dialogs->message(this, QStringLiteral("时间格式不正确，请输入如“12:12:12”的时间。"), {},
                                Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    return false;
}

void ScheduleWindow::addRow() {
    if (!timeIsValid()) return;
    auto* item = new QListWidgetItem(rowTextFromControls(), m_list);
    item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
    item->setCheckState(Qt::Checked);
    item->setData(kTagRole, 0);
    m_list->setCurrentItem(item);
}

// A row that would never fire is refused, as 添加时间点 refuses it.
void ScheduleWindow::modifyRow() {
    QListWidgetItem* item = m_list->currentItem();
    if (item == nullptr || !timeIsValid()) return;
    item->setText(rowTextFromControls());
}

void ScheduleWindow::deleteRow() {
    const int row = m_list->currentRow();
    if (row < 0) return;
    delete m_list->takeItem(row);
    if (m_list->count() > 0) m_list->setCurrentRow(std::min(row, m_list->count() - 1));
}

void ScheduleWindow::clearRows() {
    if (m_list->count() == 0) return;
    if (m_services.dialogs->message(this, QStringLiteral("确定要全部删除时间点吗？"), {},
                                    Dialogs::Buttons::YesNo,
                                    Dialogs::Icon::Question) == Dialogs::Answer::Yes) {
        m_list->clear();
    }
}

void ScheduleWindow::readCurrentTime() {
    const text::DateTime now = m_services.clock->now();
    m_time->setText(qs(engine::formatDateTime(engine::DateTimeKind::Time, now)));
    m_date->setDate(QDate(now.year, now.month, now.day));
}

void ScheduleWindow::showHelp() {
    QString text = QStringLiteral(
        "1、在左边列表中添加时间点：只填时间为每天的这个时间点；勾选“日期：”则只在那一天的这个时间点。\r\n"
        "2、只有打勾的时间点才会执行；点击“开始任务”后每秒检查一次，到点时如果没有正在进行的更新，"
        "就自动“开始站群更新”。\r\n"
        "3、读取文章模式：“鼠标左键”完整读取文章目录，“鼠标右键”快速读取文章目录，与左右键点击“开始站群更新”"
        "相同。\r\n"
        "4、勾选“启动软件时开始任务”后，软件启动时自动打开本窗口并开始任务。\r\n"
        "5、到点更新时不弹出完成提示，计划任务在更新结束后继续运行。");
    TextDialogOptions options;
    options.inputMode = false;
    options.wrapLines = true;
    showTextDialog(text, {}, QStringLiteral("计划任务"), this, *m_services.dialogs, options);
}

void ScheduleWindow::startOrStopSchedule() {
    if (m_scheduler.state() == schedule::SchedulerState::Stopped) {
        if (!saveSchedule())
            reportSaveFailure(*m_services.dialogs, this,
                              QStringLiteral("无法写入计划任务文件：") + scheduleFile());
        m_scheduler.setRows(rows());
        m_scheduler.start();
        m_timer->start();
    } else {
        m_scheduler.requestStop();
    }
    updateCaptions();
}

void ScheduleWindow::updateCaptions() {
    m_startButton->setText(qs(schedule::schedulerCaption(m_scheduler.state())));
}

void ScheduleWindow::scheduleTick() {
    if (m_scheduler.state() == schedule::SchedulerState::Stopped) {
        m_timer->stop();
        return;
    }
    const text::DateTime now = m_services.clock->now();
    m_time->setText(qs(engine::formatDateTime(engine::DateTimeKind::Time, now)));
    m_scheduler.setRows(rows());  // edits made while running count from this tick
    m_scheduler.setCompleteListing(m_left->isChecked());
    const bool runActive = m_hooks.isRunActive && m_hooks.isRunActive();
    const auto start = m_scheduler.tick(now, runActive);
    if (m_scheduler.state() == schedule::SchedulerState::Stopped) {
        m_timer->stop();
        m_status->setText(QStringLiteral("使用前必看"));
        updateCaptions();
        return;
    }
    if (!start) return;
    m_status->setText(
        QString::fromStdString(start->statusText()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    QApplication::beep();
    if (m_hooks.startRun) {
        m_hooks.startRun(start->completeListing ? content::ListingMethod::Complete
                                                : content::ListingMethod::Fast);
    }
}

}  // namespace oz::ui
