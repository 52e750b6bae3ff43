#include "shell/MessageBoxDialogs.h"

#include <QMessageBox>
#include <QString>

namespace verno::shell {

namespace {

QMessageBox::Icon BoxIcon(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Exclamation:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(MessageButtons buttons) {
    switch (buttons) {
        case MessageButtons::Ok:
            return QMessageBox::Ok;
        case MessageButtons::OkCancel:
            return QMessageBox::Ok | QMessageBox::Cancel;
        case MessageButtons::YesNo:
            return QMessageBox::Yes | QMessageBox::No;
    }
    return QMessageBox::Ok;
}

MessageAnswer Answer(int button, MessageButtons buttons) {
    switch (button) {
        case QMessageBox::Ok:
            return MessageAnswer::Ok;
        case QMessageBox::Yes:
            return MessageAnswer::Yes;
        case QMessageBox::No:
            return MessageAnswer::No;
        default:
            // Escape or the box's own close button.
            return buttons == MessageButtons::YesNo ? MessageAnswer::No
                   : buttons == MessageButtons::Ok  ? MessageAnswer::Ok
                                                    : MessageAnswer::Cancel;
    }
}

}  // namespace

MessageAnswer MessageBoxDialogs::Show(QWidget* parent, const std::string& title, const std::string& text,
                                      MessageIcon icon, MessageButtons buttons) {
    // The texts use CR LF line breaks; a box shows a bare line feed as one.
    QString body = QString::fromStdString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(BoxIcon(icon), QString::fromStdString(title), body, BoxButtons(buttons), parent);
    box.setTextFormat(Qt::PlainText);
    // The wizard stays above every other window; so must its boxes, even before it is shown.
    if (parent == nullptr || !parent->isVisible()) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    return Answer(box.exec(), buttons);
}

}  // namespace verno::shell
