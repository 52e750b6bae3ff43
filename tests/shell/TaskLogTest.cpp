// The task log on its own: its columns, time stamps and status rewrites.

#include <gtest/gtest.h>

#include <QFontDatabase>
#include <QHeaderView>
#include <QPixmap>
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

TEST(TaskLog, HasColumnsMeasuredInItsFontAndCellsTheUserCannotEdit) {
    TaskLog log;
    log.setGeometry(0, 0, 529, 361);
    log.SetHeadings("Zeit", "Vorgang", "Status");
    EXPECT_EQ(log.columnCount(), 4);
    EXPECT_EQ(log.horizontalHeaderItem(0)->text(), "");
    EXPECT_EQ(log.horizontalHeaderItem(1)->text(), "Zeit");
    EXPECT_EQ(log.horizontalHeaderItem(2)->text(), "Vorgang");
    EXPECT_TRUE(log.showGrid());
    EXPECT_FALSE(log.isSortingEnabled());
    EXPECT_EQ(log.editTriggers(), QAbstractItemView::NoEditTriggers);
    log.InsertTaskList(TaskIcon::Information, "10:00:00", "a", "b");
    EXPECT_FALSE(log.item(0, TaskLog::kEventColumn)->flags().testFlag(Qt::ItemIsEditable));
    EXPECT_EQ(log.verticalHeader()->sectionResizeMode(0), QHeaderView::Fixed);

    // A larger font (a style's, or the desktop's) widens the time column rather than clip it.
    for (const int points : {9, 16}) {
        QFont font = log.font();
        font.setPointSize(points);
        log.setFont(font);
        EXPECT_GT(log.columnWidth(TaskLog::kTimeColumn), QFontMetrics(font).horizontalAdvance("21:07:05")) << points;
        EXPECT_GT(log.columnWidth(TaskLog::kStatusColumn), QFontMetrics(font).horizontalAdvance("100%")) << points;
    }
    // The event column takes the rest: nothing hidden beyond the right edge.
    int total = 0;
    for (int c = 0; c < 4; ++c) total += log.columnWidth(c);
    EXPECT_EQ(total, log.viewport()->width());
}

TEST(TaskLog, APercentageIsShownAsABarAndEveryOtherStatusAsText) {
    TaskLog log;
    log.InsertTaskList(TaskIcon::Information, "10:00:00", "Uploading firmware", "...");
    EXPECT_EQ(log.RowProgress(0), std::nullopt);
    log.SetTaskStatus("45%");
    EXPECT_EQ(log.RowProgress(0), 45);
    EXPECT_EQ(log.CellText(0, TaskLog::kStatusColumn), "45%");  // the figure stays, on the bar
    log.SetTaskStatus("100 %");
    EXPECT_EQ(log.RowProgress(0), 100);
    for (const char* other : {"Done", "7 s left", "145%"}) {
        log.SetTaskStatus(other);
        EXPECT_EQ(log.RowProgress(0), std::nullopt) << other;
    }
}

TEST(TaskLog, StatusIconsArePaintedForADevicePixelRatioOfTwo) {
    TaskLog log;
    log.InsertTaskList(TaskIcon::Warning, "10:00:00", "a", "");
    const QPixmap sharp = log.item(0, TaskLog::kIconColumn)->icon().pixmap(QSize(16, 16), 2.0);
    EXPECT_EQ(sharp.size(), QSize(32, 32));  // not 16 pixels blown up
}

TEST(TaskLog, ALongRowWrapsOntoMoreLinesAndShowsItsWholeTextAsATooltip) {
    // Qt's offscreen platform on Windows (the tests under wine) has no fonts: every glyph is a
    // box, and no wrap can be measured.
    if (QFontDatabase::families().isEmpty()) GTEST_SKIP() << "no fonts to measure the text with";
    TaskLog log;
    log.setGeometry(0, 0, 529, 361);
    log.show();
    const std::string shortEvent = "Fertig";
    const std::string longEvent =
        "Prüfen Sie Kabel und Tauchcomputer und klicken Sie dann auf Zurück, um es erneut zu versuchen.";
    log.InsertTaskList(TaskIcon::Information, "10:00:00", shortEvent, "");
    log.InsertTaskList(TaskIcon::Warning, "10:00:01", longEvent, "");
    const int wrapped = log.fontMetrics()
                            .boundingRect(QRect(0, 0, log.columnWidth(TaskLog::kEventColumn) - 8, 1000),
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
    EXPECT_EQ(newest.x(), log.columnWidth(TaskLog::kIconColumn) + log.columnWidth(TaskLog::kTimeColumn));
}

}  // namespace
}  // namespace verno::shell
