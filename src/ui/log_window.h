#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <QWidget>
#include <cstddef>
#include <deque>
#include <vector>

#include "engine/run_observer.h"

class QPushButton;
class QTreeView;

namespace oz::ui {

class Desktop;
class WindowRun;

// The log pane's rows: a ring of at most `capacity` lines (the oldest go first), three columns
// (time, site, text). Lines are queued by append and reach the view in one batch per event-loop
// turn, so a fast stream of lines costs a few repaints.
class LogModel final : public QAbstractTableModel {
    Q_OBJECT
   public:
    static constexpr std::size_t kDefaultCapacity = 200'000;

    explicit LogModel(std::size_t capacity = kDefaultCapacity, QObject* parent = nullptr);

    void append(const engine::LogEntry& entry);
    void clear();
    // Moves the queued lines into the model now (otherwise done on the next event-loop turn).
    void flush();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

   signals:
    void flushed();

   private:
    struct Row {
        QString time;
        QString site;
        QString text;
    };

    const std::size_t m_capacity;
    std::deque<Row> m_rows;
    std::vector<Row> m_pending;
    bool m_flushQueued = false;
};

// The log window "日志": the pane 列表框 and the button 按钮定位日志, which opens the file manager
// at the run's log file. Closing it only hides it; the owner then resets 按钮查看日志.
class LogWindow final : public QWidget {
    Q_OBJECT
   public:
    LogWindow(Desktop& desktop, QWidget* parent = nullptr);

    // Follows a run: a new log clears the pane, names the file on the button and shows the window.
    void follow(WindowRun& run);

    LogModel& model() { return *m_model; }
    QTreeView& view() { return *m_view; }
    QString logFile() const { return m_logFile; }

    // A run's log was opened: clear the pane and name the file on the button.
    void startLog(const QString& logFile);
    void append(const engine::LogEntry& entry) { m_model->append(entry); }
    // Shown, restored when minimised, brought to the front.
    void showAndRaise();

   signals:
    // The operator closed the window (it is hidden, not destroyed).
    void closedByUser();

   protected:
    void closeEvent(QCloseEvent* event) override;

   private:
    void revealLog();

    Desktop& m_desktop;
    LogModel* m_model = nullptr;
    QTreeView* m_view = nullptr;
    QPushButton* m_locate = nullptr;
    QString m_logFile;
};

}  // namespace oz::ui
