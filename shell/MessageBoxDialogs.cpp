#include "shell/MessageBoxDialogs.h"

#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QString>

#include <utility>
#include <vector>

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

void Prepare(QMessageBox& box, QWidget* parent) {
    box.setTextFormat(Qt::PlainText);
    // The wizard stays above every other window; so must its boxes, even before it is shown.
    if (parent == nullptr || !parent->isVisible()) box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
}

// The texts use CR LF line breaks; a box shows a bare line feed as one.
QString Body(const std::string& text) {
    QString body = QString::fromStdString(text);
    body.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return body;
}

MessageAnswer MessageBoxDialogs::Show(QWidget* parent, const std::string& title, const std::string& text,
                                      MessageIcon icon, MessageButtons buttons) {
    QMessageBox box(BoxIcon(icon), QString::fromStdString(title), Body(text), BoxButtons(buttons), parent);
    Prepare(box, parent);
    return Answer(box.exec(), buttons);
}

MessageAnswer MessageBoxDialogs::Ask(QWidget* parent, const QuestionBox& question) {
    QMessageBox box(BoxIcon(question.icon), QString::fromStdString(question.title), Body(question.text),
                    QMessageBox::NoButton, parent);
    Prepare(box, parent);
    std::vector<std::pair<QAbstractButton*, MessageAnswer>> buttons;
    for (const Choice& choice : question.choices) {
        QPushButton* button = box.addButton(QString::fromStdString(choice.label), QMessageBox::AcceptRole);
        buttons.emplace_back(button, choice.answer);
    }
    if (!buttons.empty()) box.setDefaultButton(static_cast<QPushButton*>(buttons.front().first));
    // Escape, Alt+F4 and the box's own close answer nothing: a hidden button takes them, so that
    // closing the box never counts as one of its choices.
    QPushButton* closed = box.addButton(QMessageBox::Cancel);
    closed->hide();
    box.setEscapeButton(closed);
    box.exec();
    for (const auto& [button, answer] : buttons)
        if (box.clickedButton() == button) return answer;
    return MessageAnswer::Interrupted;
}

std::optional<std::filesystem::path> MessageBoxDialogs::ChooseFile(QWidget* parent, const std::string& title,
                                                                   const std::filesystem::path& folder,
                                                                   const std::string& filter) {
    const QString file = QFileDialog::getOpenFileName(parent, QString::fromStdString(title),
                                                      QString::fromStdU16String(folder.u16string()),
                                                      QString::fromStdString(filter));
    if (file.isEmpty()) return std::nullopt;
    return std::filesystem::path(file.toStdU16String());
}

}  // namespace verno::shell
