#include "shell/InstructionFrame.h"

#include <QPainter>

namespace verno::shell {

namespace {

constexpr int kCaptionLeft = 8;
constexpr int kCaptionHeight = 16;

}  // namespace

InstructionFrame::InstructionFrame(QWidget* parent) : QFrame(parent) {
    setFrameStyle(QFrame::Box | QFrame::Plain);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, QColor(24, 40, 72));
    setPalette(white);
}

void InstructionFrame::SetCaption(const QString& caption) {
    caption_ = caption;
    update();
}

void InstructionFrame::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    QPainter p(this);
    QFont font = p.font();
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(10, 48, 120));
    p.drawText(QRect(kCaptionLeft, 0, width() - 2 * kCaptionLeft, kCaptionHeight), Qt::AlignLeft | Qt::AlignVCenter,
               caption_);
}

}  // namespace verno::shell
