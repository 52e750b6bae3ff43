#pragma once
// The task log: one row per task of the firmware check, the update and the profile backup and
// restore, with a status icon, the time of day the row was added, the event and its status.

#include <QTableWidget>

#include <optional>
#include <string>

#include "common/WizardSurface.h"

namespace verno::shell {

class TaskLog final : public QTableWidget {
    Q_OBJECT
public:
    enum Column { kIconColumn = 0, kTimeColumn = 1, kEventColumn = 2, kStatusColumn = 3 };

    explicit TaskLog(QWidget* parent = nullptr);

    // Headings for the time, event and status columns; the icon column has none.
    void SetHeadings(const std::string& time, const std::string& event, const std::string& status);

    // time: when the row was added, "hh:mm:ss".
    void InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event, const std::string& status);
    // Rewrites the status of the newest row; nothing on an empty log.
    void SetTaskStatus(const std::string& status);
    void Empty();

    // What a row shows, for the tests and for accessibility tools.
    QString CellText(int row, Column column) const;
    TaskIcon RowIcon(int row) const;
    // The percentage a row's status shows as a bar ("45%"); nothing for any other status.
    std::optional<int> RowProgress(int row) const;

protected:
    // A new font or style: the columns and rows measured again.
    void changeEvent(QEvent* event) override;

private:
    // Time and status as wide as their texts in the current font; the event takes the rest.
    void FitColumns();
    // The row as high as its wrapped texts need, and never lower than one line.
    void FitRow(int row);
};

}  // namespace verno::shell
