#include "shell/TaskLog.h"

#include <QApplication>
#include <QHeaderView>
#include <QStyle>

namespace verno::shell {

namespace {

constexpr int kRowHeight = 18;
constexpr int kIconSize = 16;
constexpr int kIconRole = Qt::UserRole;

QIcon StatusIcon(TaskIcon icon) {
    QStyle* style = QApplication::style();
    switch (icon) {
        case TaskIcon::Information:
            return style->standardIcon(QStyle::SP_MessageBoxInformation);
        case TaskIcon::Warning:
            return style->standardIcon(QStyle::SP_MessageBoxWarning);
        case TaskIcon::Error:
            return style->standardIcon(QStyle::SP_MessageBoxCritical);
    }
    return {};
}

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

}  // namespace

TaskLog::TaskLog(const WallClock& clock, QWidget* parent) : QTableWidget(0, 4, parent), clock_(clock) {
    setHorizontalHeaderLabels({QString(), QStringLiteral("Time"), QStringLiteral("Event"), QStringLiteral("Status")});
    for (int c = 0; c < 4; ++c) setColumnWidth(c, kColumnWidths[c]);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->hide();
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setShowGrid(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(false);
    setTextElideMode(Qt::ElideRight);
    setIconSize(QSize(kIconSize, kIconSize));
    // The columns are 3 pixels wider than the list: a scroll bar for those would cover a row,
    // and scrolling by whole columns would hide the event text behind the status.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TaskLog::SetHeadings(const std::string& time, const std::string& event, const std::string& status) {
    setHorizontalHeaderLabels(
        {QString(), QString::fromStdString(time), QString::fromStdString(event), QString::fromStdString(status)});
}

void TaskLog::InsertTaskList(TaskIcon icon, const std::string& event, const std::string& status) {
    const int row = rowCount();
    insertRow(row);
    QTableWidgetItem* iconCell = Cell(QString());
    iconCell->setIcon(StatusIcon(icon));
    iconCell->setData(kIconRole, static_cast<int>(icon));
    setItem(row, kIconColumn, iconCell);
    setItem(row, kTimeColumn, Cell(QString::fromStdString(FormatTime(clock_.Now()))));
    setItem(row, kEventColumn, Cell(QString::fromStdString(event)));
    setItem(row, kStatusColumn, Cell(QString::fromStdString(status)));
    // The newest task is the one the user follows.
    scrollToBottom();
}

void TaskLog::SetTaskStatus(const std::string& status) {
    const int row = rowCount() - 1;
    if (row < 0) return;
    item(row, kStatusColumn)->setText(QString::fromStdString(status));
}

void TaskLog::Empty() { setRowCount(0); }

QString TaskLog::CellText(int row, Column column) const {
    const QTableWidgetItem* cell = item(row, column);
    return cell != nullptr ? cell->text() : QString();
}

TaskIcon TaskLog::RowIcon(int row) const {
    const QTableWidgetItem* cell = item(row, kIconColumn);
    return cell != nullptr ? static_cast<TaskIcon>(cell->data(kIconRole).toInt()) : TaskIcon::Information;
}

}  // namespace verno::shell
