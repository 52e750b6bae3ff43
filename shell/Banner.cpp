#include "shell/Banner.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include <array>
#include <cmath>

namespace verno::shell {

namespace {

const QColor kDeepBlue(6, 28, 74);
const QColor kSeaBlue(18, 92, 160);
const QColor kStrap(28, 30, 36);
const QColor kBezel(176, 184, 196);
const QColor kFace(12, 20, 28);
const QColor kDigits(120, 230, 255);

// Bubbles as fractions of the picture: centre x, centre y, radius (of the width).
struct Bubble {
    double x, y, r;
};
constexpr std::array<Bubble, 9> kBubbles{{{0.22, 0.08, 0.035},
                                          {0.30, 0.14, 0.022},
                                          {0.18, 0.20, 0.015},
                                          {0.76, 0.10, 0.030},
                                          {0.70, 0.17, 0.018},
                                          {0.80, 0.24, 0.012},
                                          {0.25, 0.86, 0.020},
                                          {0.72, 0.90, 0.028},
                                          {0.66, 0.82, 0.014}}};

void PaintSea(QPainter& p, const QRectF& r) {
    QLinearGradient sea(r.topLeft(), r.bottomLeft());
    sea.setColorAt(0.0, kSeaBlue);
    sea.setColorAt(1.0, kDeepBlue);
    p.fillRect(r, sea);
    // Light from the surface, fading with depth.
    QLinearGradient shine(r.topLeft(), QPointF(r.left(), r.top() + r.height() * 0.35));
    shine.setColorAt(0.0, QColor(255, 255, 255, 60));
    shine.setColorAt(1.0, QColor(255, 255, 255, 0));
    p.fillRect(r, shine);
}

void PaintBubbles(QPainter& p, const QRectF& r) {
    p.setBrush(QColor(200, 235, 255, 50));
    p.setPen(QPen(QColor(220, 245, 255, 170), std::max(1.0, r.width() / 140.0)));
    for (const Bubble& b : kBubbles) {
        const double radius = b.r * r.width();
        p.drawEllipse(QPointF(r.left() + b.x * r.width(), r.top() + b.y * r.height()), radius, radius);
    }
}

}  // namespace

void PaintDiveComputer(QPainter& p, const QRectF& rect) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const double w = rect.width();
    const QPointF centre = rect.center();
    const double faceRadius = std::min(w, rect.height()) * 0.40;

    // The strap runs top to bottom behind the case, with its holes below.
    const double strapWidth = faceRadius * 1.05;
    QRectF strap(centre.x() - strapWidth / 2, rect.top(), strapWidth, rect.height());
    QLinearGradient strapShade(strap.topLeft(), strap.topRight());
    strapShade.setColorAt(0.0, kStrap.darker(140));
    strapShade.setColorAt(0.5, kStrap.lighter(160));
    strapShade.setColorAt(1.0, kStrap.darker(140));
    p.setPen(Qt::NoPen);
    p.setBrush(strapShade);
    p.drawRoundedRect(strap, strapWidth * 0.3, strapWidth * 0.3);
    p.setBrush(kDeepBlue.darker(150));
    const double holeRadius = strapWidth * 0.07;
    for (int i = 1; i <= 4; ++i) {
        const double y = centre.y() + faceRadius * 1.25 + i * holeRadius * 4.0;
        if (y + holeRadius < rect.bottom()) p.drawEllipse(QPointF(centre.x(), y), holeRadius, holeRadius);
    }

    // The case and its bezel with the minute marks.
    QRadialGradient bezel(centre - QPointF(faceRadius * 0.3, faceRadius * 0.3), faceRadius * 1.4);
    bezel.setColorAt(0.0, kBezel.lighter(130));
    bezel.setColorAt(1.0, kBezel.darker(170));
    p.setBrush(bezel);
    p.drawEllipse(centre, faceRadius, faceRadius);
    p.setPen(QPen(kFace, std::max(1.0, faceRadius / 30.0)));
    for (int m = 0; m < 12; ++m) {
        const double a = m * 3.14159265358979 / 6.0;
        const double outer = faceRadius * 0.96;
        const double inner = faceRadius * (m % 3 == 0 ? 0.80 : 0.87);
        p.drawLine(QPointF(centre.x() + outer * std::sin(a), centre.y() - outer * std::cos(a)),
                   QPointF(centre.x() + inner * std::sin(a), centre.y() - inner * std::cos(a)));
    }

    // The face with a depth read-out.
    const double faceInner = faceRadius * 0.74;
    p.setPen(Qt::NoPen);
    p.setBrush(kFace);
    p.drawEllipse(centre, faceInner, faceInner);
    p.setPen(QPen(kDigits, std::max(1.0, faceRadius / 18.0), Qt::SolidLine, Qt::RoundCap));
    const double bar = faceInner * 0.9;
    p.drawLine(QPointF(centre.x() - bar / 2, centre.y() + faceInner * 0.25),
               QPointF(centre.x() + bar / 2, centre.y() + faceInner * 0.25));
    QFont digits = p.font();
    digits.setBold(true);
    digits.setPixelSize(std::max(4, static_cast<int>(faceInner * 0.55)));
    p.setFont(digits);
    p.drawText(QRectF(centre.x() - faceInner, centre.y() - faceInner * 0.65, 2 * faceInner, faceInner * 0.8),
               Qt::AlignCenter, QStringLiteral("18m"));

    // The two push buttons on the side of the case.
    p.setPen(Qt::NoPen);
    p.setBrush(kBezel.darker(130));
    const double button = faceRadius * 0.16;
    p.drawRoundedRect(QRectF(centre.x() + faceRadius * 0.95, centre.y() - faceRadius * 0.45, button, button * 1.6), 2, 2);
    p.drawRoundedRect(QRectF(centre.x() + faceRadius * 0.95, centre.y() + faceRadius * 0.20, button, button * 1.6), 2, 2);
    p.restore();
}

void PaintProgramIcon(QPainter& p, double size) {
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    const QRectF tile(0, 0, size, size);
    QPainterPath rounded;
    rounded.addRoundedRect(tile, size * 0.18, size * 0.18);
    p.setClipPath(rounded);
    PaintSea(p, tile);
    PaintDiveComputer(p, tile.adjusted(size * 0.08, 0, -size * 0.08, 0));
    p.restore();
}

QIcon ProgramIcon() {
    QIcon icon;
    for (const int size : kProgramIconSizes) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter p(&pixmap);
        PaintProgramIcon(p, size);
        p.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

BannerWidget::BannerWidget(QWidget* parent) : QWidget(parent) {}

void BannerWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing, true);
    // The picture keeps its own size at the top left, as the banner's picture box shows it.
    const QRectF picture(0, 0, kPictureWidth, kPictureHeight);
    p.fillRect(rect(), palette().window());
    p.setClipRect(picture);
    PaintSea(p, picture);
    PaintBubbles(p, picture);
    PaintDiveComputer(p, QRectF(picture.left() + 8, picture.top() + picture.height() * 0.22, picture.width() - 16,
                                picture.height() * 0.56));
}

}  // namespace verno::shell
