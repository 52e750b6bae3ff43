// The task log on its own: its columns, time stamps and status rewrites.

#include <gtest/gtest.h>

#include <QHeaderView>
#include <QScrollBar>

#include "shell/TaskLog.h"

namespace verno::shell {
namespace {

TEST(TaskLog, ShowsEachRowsIconTimeEventAndStatus) {
    TaskLog log;
    log.InsertTaskList(TaskIcon::Information, "09:07:05", "morning", "...");
    log.InsertTaskList(TaskIcon::Error, "21:07:05", "evening", "");
    ASSERT_EQ(log.rowCount(), 2);
    EXPECT_EQ(log.CellText(0, TaskLog::kTimeColumn), "09:07:05");
    EXPECT_EQ(log.CellText(1, TaskLog::kTimeColumn), "21:07:05");
    EXPECT_EQ(log.CellText(0, TaskLog::kEventColumn), "morning");
    EXPECT_EQ(log.CellText(0, TaskLog::kStatusColumn), "...");
    EXPECT_EQ(log.CellText(0, TaskLog::kIconColumn), "");
    EXPECT_EQ(log.RowIcon(0), TaskIcon::Information);
    EXPECT_EQ(log.RowIcon(1), TaskIcon::Error);
    EXPECT_FALSE(log.item(1, TaskLog::kIconColumn)->icon().isNull());
}

TEST(TaskLog, StatusRewritesGoToTheNewestRowOnly) {
    TaskLog log;
    log.SetTaskStatus("ignored");  // an empty log stays empty
    EXPECT_EQ(log.rowCount(), 0);
    log.InsertTaskList(TaskIcon::Information, "10:00:00", "first", "");
    log.InsertTaskList(TaskIcon::Warning, "10:00:01", "second", "");
    log.SetTaskStatus("50%");
    log.SetTaskStatus("Done");
    EXPECT_EQ(log.CellText(0, TaskLog::kStatusColumn), "");
    EXPECT_EQ(log.CellText(1, TaskLog::kStatusColumn), "Done");
    log.Empty();
    EXPECT_EQ(log.rowCount(), 0);
    log.InsertTaskList(TaskIcon::Information, "10:00:02", "again", "");
    EXPECT_EQ(log.CellText(0, TaskLog::kEventColumn), "again");
}

TEST(TaskLog, HasFixedColumnsAndCellsTheUserCannotEdit) {
    TaskLog log;
    log.SetHeadings("Zeit", "Vorgang", "Status");
    EXPECT_EQ(log.columnCount(), 4);
    const int widths[] = {32, 60, 360, 80};
    for (int c = 0; c < 4; ++c) EXPECT_EQ(log.columnWidth(c), widths[c]);
    EXPECT_EQ(log.horizontalHeaderItem(0)->text(), "");
    EXPECT_EQ(log.horizontalHeaderItem(1)->text(), "Zeit");
    EXPECT_EQ(log.horizontalHeaderItem(2)->text(), "Vorgang");
    EXPECT_TRUE(log.showGrid());
    EXPECT_FALSE(log.isSortingEnabled());
    EXPECT_EQ(log.editTriggers(), QAbstractItemView::NoEditTriggers);
    log.InsertTaskList(TaskIcon::Information, "10:00:00", "a", "b");
    EXPECT_FALSE(log.item(0, TaskLog::kEventColumn)->flags().testFlag(Qt::ItemIsEditable));
    EXPECT_EQ(log.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);
}

TEST(TaskLog, ALongRowWrapsOntoMoreLinesAndShowsItsWholeTextAsATooltip) {
    TaskLog log;
    log.setGeometry(0, 0, 529, 361);
    log.show();
    const std::string shortEvent = "Fertig";
    const std::string longEvent =
        "Prüfen Sie Kabel und Tauchcomputer und klicken Sie dann auf Zurück, um es erneut zu versuchen.";
    log.InsertTaskList(TaskIcon::Information, "10:00:00", shortEvent, "");
    log.InsertTaskList(TaskIcon::Warning, "10:00:01", longEvent, "");
    const int wrapped = log.fontMetrics()
                            .boundingRect(QRect(0, 0, TaskLog::kColumnWidths[TaskLog::kEventColumn] - 8, 1000),
                                          Qt::TextWordWrap, QString::fromStdString(longEvent))
                            .height();
    EXPECT_GT(wrapped, log.fontMetrics().height()) << "the text needs more than one line";
    EXPECT_GE(log.rowHeight(1), wrapped) << "the end of the text, and the button to press, would be cut off";
    EXPECT_LT(log.rowHeight(0), log.rowHeight(1));
    EXPECT_EQ(log.item(1, TaskLog::kEventColumn)->toolTip(), QString::fromStdString(longEvent));
    log.SetTaskStatus("Abgeschlossen mit Fehlern");
    EXPECT_EQ(log.item(1, TaskLog::kStatusColumn)->toolTip(), "Abgeschlossen mit Fehlern");
}

TEST(TaskLog, KeepsTheNewestRowInViewWithTheEventColumnAtItsPlace) {
    TaskLog log;
    log.setGeometry(0, 0, 529, 361);
    log.show();
    for (int i = 0; i < 40; ++i) log.InsertTaskList(TaskIcon::Information, "10:00:00", "task " + std::to_string(i), "Done");
    const QRect newest = log.visualItemRect(log.item(39, TaskLog::kEventColumn));
    EXPECT_TRUE(log.viewport()->rect().contains(newest)) << newest.y();
    EXPECT_FALSE(log.viewport()->rect().contains(log.visualItemRect(log.item(0, TaskLog::kEventColumn))));
    // Scrolling to a row must not shift the columns sideways.
    EXPECT_EQ(log.horizontalScrollBar()->value(), 0);
    EXPECT_EQ(newest.x(), 32 + 60);
}

}  // namespace
}  // namespace verno::shell
