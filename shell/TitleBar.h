#pragma once
// The window's own title bar: the caption, the program icon and a close button, on a bar that
// moves the window when dragged. There is no minimise or maximise button.

#include <QPoint>
#include <QString>
#include <QWidget>

class QToolButton;

namespace verno::shell {

class TitleBar final : public QWidget {
    Q_OBJECT
public:
    explicit TitleBar(QWidget* parent = nullptr);

    void SetCaption(const QString& caption);
    QString Caption() const { return caption_; }

signals:
    void CloseClicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QString caption_;
    QToolButton* close_;
    bool dragging_ = false;
    QPoint grabOffset_;  // where the bar was grabbed, from the window's top left
};

}  // namespace verno::shell
