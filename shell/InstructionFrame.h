#pragma once
// The instruction view: a frame in the colours of a text field, with a caption, holding the text of the current page.

#include <QFrame>
#include <QString>

class QLabel;

namespace verno::shell {

class InstructionFrame final : public QFrame {
    Q_OBJECT
public:
    explicit InstructionFrame(QWidget* parent = nullptr);

    void SetCaption(const QString& caption);
    QString Caption() const { return caption_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString caption_;
};

}  // namespace verno::shell
