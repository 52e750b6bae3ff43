#include "shell/TaskLog.h"

#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>

namespace verno::shell {

namespace {

constexpr int kRowHeight = 18;
constexpr int kIconSize = 16;
constexpr int kIconRole = Qt::UserRole;

// The three status signs, drawn at 16 x 16 so that they stay sharp at the row height.
QIcon StatusIcon(TaskIcon icon) {
    QPixmap pixmap(kIconSize, kIconSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(11);
    p.setFont(font);
    const QRectF box(1.5, 1.5, kIconSize - 3, kIconSize - 3);
    switch (icon) {
        case TaskIcon::Information:
            p.setPen(QPen(QColor(20, 70, 150), 1));
            p.setBrush(QColor(40, 110, 210));
            p.drawEllipse(box);
            p.setPen(Qt::white);
            p.drawText(box, Qt::AlignCenter, QStringLiteral("i"));
            break;
        case TaskIcon::Warning: {
            const QPointF corners[] = {{8, 1.5}, {14.5, 14.5}, {1.5, 14.5}};
            p.setPen(QPen(QColor(150, 110, 0), 1));
            p.setBrush(QColor(250, 200, 30));
            p.drawPolygon(corners, 3);
            p.setPen(Qt::black);
            p.drawText(QRectF(0, 3.5, kIconSize, 12), Qt::AlignCenter, QStringLiteral("!"));
            break;
        }
        case TaskIcon::Error:
            p.setPen(QPen(QColor(130, 20, 20), 1));
            p.setBrush(QColor(210, 40, 40));
            p.drawEllipse(box);
            p.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 10.5));
            p.drawLine(QPointF(10.5, 5.5), QPointF(5.5, 10.5));
            break;
    }
    return QIcon(pixmap);
}

class UnelidedDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        option->textElideMode = Qt::ElideNone;
    }
};

QTableWidgetItem* Cell(const QString& text) {
    auto* item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled);
    item->setToolTip(text);
    return item;
}

}  // namespace

TaskLog::TaskLog(QWidget* parent) : QTableWidget(0, 4, parent) {
    setHorizontalHeaderLabels({QString(), QStringLiteral("Time"), QStringLiteral("Event"), QStringLiteral("Status")});
    for (int c = 0; c < 4; ++c) setColumnWidth(c, kColumnWidths[c]);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionsClickable(false);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    verticalHeader()->hide();
    // A row is one line high unless its event or status needs more: long texts wrap, so every
    // row can be read whole in every language.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    setShowGrid(true);
    setSortingEnabled(false);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::NoSelection);
    setFocusPolicy(Qt::NoFocus);
    setWordWrap(true);
    setTextElideMode(Qt::ElideNone);
    setIconSize(QSize(kIconSize, kIconSize));
    // In the narrow time column a cut-off "hh:mm:" would say less than a clipped last digit.
    setItemDelegateForColumn(kTimeColumn, new UnelidedDelegate(this));
    // The columns are 3 pixels wider than the list: a scroll bar for those would cover a row,
    // and scrolling by whole columns would hide the event text behind the status.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

void TaskLog::SetHeadings(const std::string& time, const std::string& event, const std::string& status) {
    setHorizontalHeaderLabels(
        {QString(), QString::fromStdString(time), QString::fromStdString(event), QString::fromStdString(status)});
}

void TaskLog::InsertTaskList(TaskIcon icon, const std::string& time, const std::string& event,
                             const std::string& status) {
    const int row = rowCount();
    insertRow(row);
    QTableWidgetItem* iconCell = Cell(QString());
    iconCell->setIcon(StatusIcon(icon));
    iconCell->setData(kIconRole, static_cast<int>(icon));
    setItem(row, kIconColumn, iconCell);
    setItem(row, kTimeColumn, Cell(QString::fromStdString(time)));
    setItem(row, kEventColumn, Cell(QString::fromStdString(event)));
    setItem(row, kStatusColumn, Cell(QString::fromStdString(status)));
    FitRow(row);
    // The newest task is the one the user follows.
    scrollToBottom();
}

void TaskLog::SetTaskStatus(const std::string& status) {
    const int row = rowCount() - 1;
    if (row < 0) return;
    item(row, kStatusColumn)->setText(QString::fromStdString(status));
    item(row, kStatusColumn)->setToolTip(item(row, kStatusColumn)->text());
    FitRow(row);
}

void TaskLog::FitRow(int row) {
    resizeRowToContents(row);
    if (rowHeight(row) < kRowHeight) setRowHeight(row, kRowHeight);
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
