#pragma once

#include <QWidget>
#include <functional>

#include "content/article_source.h"
#include "schedule/scheduler.h"
#include "ui/ui_services.h"

class QCheckBox;
class QDateEdit;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTimer;

namespace oz::ui {

// The window's two stored options and the state of 选择框日期, kept by the owner's settings
// (计划任务_鼠标左键, 自动开启计划任务 and the control-state store).
struct ScheduleOptions {
    bool completeListing = true;  // 单选框鼠标左键 (else 单选框鼠标右键, the fast listing)
    bool autoStart = false;       // 选择框开始任务
    bool dateChecked = false;     // 选择框日期
};

// What the window needs from its owner, the main window.
struct ScheduleHooks {
    std::function<bool()> isRunActive;                     // 按钮开始更新 is not "开始站群更新"
    std::function<void(content::ListingMethod)> startRun;  // a scheduled run
    std::function<void(const ScheduleOptions&)> saveOptions;  // store the options with the settings
};

// "计划任务 - 在指定时间点自动“开始站群更新”": the list of time points (checked rows take part), its
// editing, and a one-second tick that starts a scheduled run when a point is reached and no run is
// going. The list lives in the data folder's schedule file.
class ScheduleWindow final : public QWidget {
    Q_OBJECT
   public:
    ScheduleWindow(const UiServices& services, ScheduleHooks hooks, QWidget* parent = nullptr);

    // Reads the schedule file and applies the stored options (the window's creation).
    void loadSchedule(const ScheduleOptions& options);
    // Writes the schedule file and hands the options to saveOptions; false when the file could not
    // be written. The exit sequence calls it.
    bool saveSchedule();
    // The schedule file's path, for the operator.
    QString scheduleFile() const;

    // The toggle behind 按钮开始任务: Stopped saves and starts; Running asks to stop (next tick).
    void startOrStopSchedule();
    // One timer tick; public so the owner's start-up and tests can drive it.
    void scheduleTick();

    schedule::SchedulerState state() const { return m_scheduler.state(); }
    ScheduleOptions options() const;
    std::vector<schedule::ScheduleRow> rows() const;

   private:
    QString rowTextFromControls() const;
    // The time (and date) of the controls make a time point; otherwise it is said.
    bool timeIsValid();
    void addRow();
    void modifyRow();
    void deleteRow();
    void clearRows();
    void readCurrentTime();
    void showHelp();
    void setRows(const std::vector<schedule::ScheduleRow>& rows);
    void updateCaptions();

    UiServices m_services;
    ScheduleHooks m_hooks;
    schedule::Scheduler m_scheduler;
    QListWidget* m_list = nullptr;
    QCheckBox* m_dateBox = nullptr;
    QDateEdit* m_date = nullptr;
    QLineEdit* m_time = nullptr;
    QRadioButton* m_left = nullptr;
    QRadioButton* m_right = nullptr;
    QCheckBox* m_autoStart = nullptr;
    QPushButton* m_startButton = nullptr;
    QPushButton* m_status = nullptr;
    QTimer* m_timer = nullptr;
};

}  // namespace oz::ui
