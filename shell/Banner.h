#pragma once
// The product's artwork, drawn in code: a wrist dive computer with a round face and its strap on
// a deep-blue gradient with rising bubbles. The banner beside the instructions and the window
// icon are the same motif.

#include <QIcon>
#include <QRectF>
#include <QWidget>

class QPainter;

namespace verno::shell {

// The dive computer alone, fitted into rect.
void PaintDiveComputer(QPainter& painter, const QRectF& rect);

// The program's icon: the dive computer on a small blue tile, size pixels square, painted from
// the top left; and the icon in the sizes the desktop asks for.
inline constexpr int kProgramIconSizes[] = {16, 24, 32, 48, 64, 128, 256};
void PaintProgramIcon(QPainter& painter, double size);
QIcon ProgramIcon();

class BannerWidget final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kPictureWidth = 139;
    static constexpr int kPictureHeight = 334;

    explicit BannerWidget(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace verno::shell
