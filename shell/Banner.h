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

// The program's icon: the dive computer on a small blue tile.
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
