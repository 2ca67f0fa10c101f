#include "app/message_box.h"

#include <QMessageBox>

namespace {
std::function<void(ShownMessage&)>& handler() {
    static std::function<void(ShownMessage&)> h;
    return h;
}

QMessageBox::Icon iconOf(int style) {
    switch (style) {
    case MsgCritical:
        return QMessageBox::Critical;
    case MsgExclamation:
        return QMessageBox::Warning;
    case MsgInformation:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}
} // namespace

namespace {
bool present(QWidget* parent, ShownMessage message) {
    if (message.title.isEmpty())
        message.title = QStringLiteral("Quillet");
    if (handler()) {
        handler()(message);
        return message.question && message.yes;
    }
    const auto buttons = message.question ? QMessageBox::Yes | QMessageBox::No
                                          : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(iconOf(message.style), message.title, message.text, buttons, parent);
    if (message.question)
        box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
} // namespace

void showMessage(QWidget* parent, const QString& text, int style, const QString& title) {
    present(parent, {text, style, title});
}

bool askYesNo(QWidget* parent, const QString& text, int style, const QString& title) {
    return present(parent, {text, style, title, true});
}

void setMessageHandler(std::function<void(ShownMessage&)> h) {
    handler() = std::move(h);
}
