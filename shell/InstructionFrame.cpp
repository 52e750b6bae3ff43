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
    // The colours of a text field: white under a light theme, the theme's own under a dark one.
    setBackgroundRole(QPalette::Base);
    setForegroundRole(QPalette::Text);
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
    // The title bar's deep blue, lightened where the theme's base is dark.
    const bool dark = palette().color(QPalette::Base).lightness() < 128;
    p.setPen(dark ? QColor(130, 175, 240) : QColor(10, 48, 120));
    p.drawText(QRect(kCaptionLeft, 0, width() - 2 * kCaptionLeft, kCaptionHeight), Qt::AlignLeft | Qt::AlignVCenter,
               caption_);
}

}  // namespace verno::shell
