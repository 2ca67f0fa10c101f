// The six share buttons and the About label: each opens its fixed address in the browser.
#include "app/form1.h"

#include "share/share_links.h"

#include <QMouseEvent>

#include <functional>
#include <utility>

namespace {
// Turns left clicks on a widget into calls: a left press and a left release inside it. The
// second press of a double-click is a click of its own; the double-click event is not.
class LeftClickFilter : public QObject {
public:
    LeftClickFilter(QWidget* widget, std::function<void()> onClick)
        : QObject(widget), m_widget(widget), m_onClick(std::move(onClick)) {
        widget->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched != m_widget)
            return false;
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            m_pressed = static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton;
            break;
        case QEvent::MouseButtonRelease: {
            const auto* release = static_cast<QMouseEvent*>(event);
            const bool click = m_pressed && release->button() == Qt::LeftButton &&
                               m_widget->rect().contains(release->position().toPoint());
            m_pressed = false;
            if (click)
                m_onClick();
            break;
        }
        default:
            break;
        }
        return false;
    }

private:
    QWidget* m_widget;
    std::function<void()> m_onClick;
    bool m_pressed = false;
};
} // namespace

void Form1::connectShareHandlers() {
    const auto bind = [this](QPushButton* button, ShareLink link) {
        connect(button, &QPushButton::clicked, this, [link] { openShareLink(link); });
    };
    bind(cmdFacebook, ShareLink::Facebook);
    bind(cmdTwitter, ShareLink::Twitter);
    bind(cmdDelicious, ShareLink::Delicious);
    bind(cmdDig, ShareLink::Digg);
    bind(cmdStumbleUpon, ShareLink::StumbleUpon);
    bind(cmdReddit, ShareLink::Reddit);
    new LeftClickFilter(lblAbout, [this] { lblAbout_Click(); });
}

void Form1::lblAbout_Click() {
    openShareLink(ShareLink::About);
}
