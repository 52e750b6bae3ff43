#include "shell/TaskLog.h"

#include <QApplication>
#include <QEvent>
#include <QHeaderView>
#include <QPainter>
#include <QPixmap>
#include <QRegularExpression>
#include <QStyleOptionProgressBar>
#include <QStyledItemDelegate>

#include <algorithm>

namespace verno::shell {

namespace {

constexpr int kRowHeight = 18;
constexpr int kIconSize = 16;
constexpr int kIconRole = Qt::UserRole;
// Room beside a cell's text: the item margins of the common styles, both sides.
constexpr int kCellPadding = 12;
// What the time and status cells must hold whole: "hh:mm:ss", and a percentage or a short word.
const QString kWidestTime = QStringLiteral("00:00:00");
const QString kWidestStatus = QStringLiteral("0000000000");

// The percentage in a status such as "45%" or "45 %".
std::optional<int> Percentage(const QString& status) {
    static const QRegularExpression kPercent(QStringLiteral("^\\s*(\\d{1,3})\\s*%\\s*$"));
    const QRegularExpressionMatch match = kPercent.match(status);
    if (!match.hasMatch()) return std::nullopt;
    const int value = match.captured(1).toInt();
    if (value > 100) return std::nullopt;
    return value;
}

// One status sign painted on a 16 x 16 grid, scaled to size pixels.
QPixmap StatusPixmap(TaskIcon icon, int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / double(kIconSize), size / double(kIconSize));
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
    return pixmap;
}

// The sign in the sizes a row asks for at device pixel ratios 1 to 3, each painted, none scaled.
QIcon StatusIcon(TaskIcon icon) {
    QIcon result;
    for (const int size : {kIconSize, kIconSize * 3 / 2, kIconSize * 2, kIconSize * 3})
        result.addPixmap(StatusPixmap(icon, size));
    return result;
}

// A percentage is drawn as a progress bar with its figure; every other status as text.
class StatusDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        const QString status = index.data().toString();
        const auto percent = Percentage(status);
        if (!percent) {
            QStyledItemDelegate::paint(painter, option, index);
            return;
        }
        QStyleOptionProgressBar bar;
        bar.initFrom(option.widget);
        bar.rect = option.rect.adjusted(2, 2, -2, -2);
        bar.state |= QStyle::State_Horizontal;
        bar.minimum = 0;
        bar.maximum = 100;
        bar.progress = *percent;
        bar.text = status.trimmed();
        bar.textVisible = true;
        bar.textAlignment = Qt::AlignCenter;
        const QStyle* style = option.widget != nullptr ? option.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ProgressBar, &bar, painter, option.widget);
    }
};

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
    horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setSectionResizeMode(kEventColumn, QHeaderView::Stretch);
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
    setItemDelegateForColumn(kStatusColumn, new StatusDelegate(this));
    // The event column takes what the others leave: nothing to scroll sideways.
    setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FitColumns();
}

void TaskLog::SetHeadings(const std::string& time, const std::string& event, const std::string& status) {
    setHorizontalHeaderLabels(
        {QString(), QString::fromStdString(time), QString::fromStdString(event), QString::fromStdString(status)});
    FitColumns();
}

void TaskLog::FitColumns() {
    const QFontMetrics cell = fontMetrics();
    const QFontMetrics heading = horizontalHeader()->fontMetrics();
    auto headingWidth = [&](int column) {
        const QTableWidgetItem* h = horizontalHeaderItem(column);
        return h != nullptr ? heading.horizontalAdvance(h->text()) : 0;
    };
    setColumnWidth(kIconColumn, kIconSize + 2 * kCellPadding);
    setColumnWidth(kTimeColumn, std::max(cell.horizontalAdvance(kWidestTime), headingWidth(kTimeColumn)) + kCellPadding);
    setColumnWidth(kStatusColumn, std::max(cell.horizontalAdvance(kWidestStatus), headingWidth(kStatusColumn)) + kCellPadding);
    for (int row = 0; row < rowCount(); ++row) FitRow(row);
}

void TaskLog::changeEvent(QEvent* event) {
    QTableWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) FitColumns();
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

std::optional<int> TaskLog::RowProgress(int row) const {
    return Percentage(CellText(row, kStatusColumn));
}

TaskIcon TaskLog::RowIcon(int row) const {
    const QTableWidgetItem* cell = item(row, kIconColumn);
    return cell != nullptr ? static_cast<TaskIcon>(cell->data(kIconRole).toInt()) : TaskIcon::Information;
}

}  // namespace verno::shell
