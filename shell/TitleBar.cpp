#include "shell/TitleBar.h"

#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QToolButton>
#include <QWindow>

#include "shell/Banner.h"

namespace verno::shell {

namespace {
constexpr int kCloseButtonSize = 22;
constexpr int kIconSize = 18;
constexpr int kMargin = 6;
}  // namespace

TitleBar::TitleBar(QWidget* parent) : QWidget(parent), close_(new QToolButton(this)) {
    close_->setText(QStringLiteral("\u2715"));
    close_->setAutoRaise(true);
    close_->setFocusPolicy(Qt::NoFocus);
    close_->setCursor(Qt::ArrowCursor);
    close_->setStyleSheet(QStringLiteral(
        "QToolButton { color: white; border: none; font-weight: bold; }"
        "QToolButton:hover { background: #c42b1c; }"));
    connect(close_, &QToolButton::clicked, this, &TitleBar::CloseClicked);
}

void TitleBar::SetCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void TitleBar::resizeEvent(QResizeEvent*) {
    close_->setGeometry(width() - kCloseButtonSize - (height() - kCloseButtonSize) / 2,
                        (height() - kCloseButtonSize) / 2, kCloseButtonSize, kCloseButtonSize);
}

void TitleBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    QLinearGradient bar(0, 0, 0, height());
    bar.setColorAt(0.0, QColor(42, 104, 196));
    bar.setColorAt(1.0, QColor(10, 48, 120));
    p.fillRect(rect(), bar);
    const int iconTop = (height() - kIconSize) / 2;
    // Painted, not scaled from a bitmap: sharp at any device pixel ratio.
    p.save();
    p.translate(kMargin, iconTop);
    PaintProgramIcon(p, kIconSize);
    p.restore();
    QFont font = p.font();
    font.setBold(true);
    p.setFont(font);
    p.setPen(Qt::white);
    const QRect text(kMargin * 2 + kIconSize, 0, close_->x() - kMargin * 3 - kIconSize, height());
    p.drawText(text, Qt::AlignVCenter | Qt::AlignLeft, p.fontMetrics().elidedText(caption_, Qt::ElideRight, text.width()));
}

void TitleBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    // The window manager moves the window where it can; elsewhere the bar does it itself.
    QWindow* handle = window()->windowHandle();
    if (handle != nullptr && handle->startSystemMove()) return;
    dragging_ = true;
    grabOffset_ = event->globalPosition().toPoint() - window()->frameGeometry().topLeft();
}

void TitleBar::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && (event->buttons() & Qt::LeftButton)) window()->move(event->globalPosition().toPoint() - grabOffset_);
}

void TitleBar::mouseReleaseEvent(QMouseEvent*) { dragging_ = false; }

}  // namespace verno::shell
