#include "app/message_box.h"

#include <QMessageBox>

namespace {
std::function<void(const ShownMessage&)>& handler() {
    static std::function<void(const ShownMessage&)> h;
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

void showMessage(QWidget* parent, const QString& text, int style, const QString& title) {
    const ShownMessage message{text, style, title.isEmpty() ? QStringLiteral("Quillet") : title};
    if (handler()) {
        handler()(message);
        return;
    }
    QMessageBox box(iconOf(style), message.title, message.text, QMessageBox::Ok, parent);
    box.exec();
}

void setMessageHandler(std::function<void(const ShownMessage&)> h) {
    handler() = std::move(h);
}
