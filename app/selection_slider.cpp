#include "app/selection_slider.h"

#include <QMouseEvent>
#include <QPainter>

SelectionSlider::SelectionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setRange(0, 10);
    setTickPosition(QSlider::TicksBelow);
}

void SelectionSlider::setSelStart(int seconds) {
    m_selStartSeconds = seconds;
    update();
}

void SelectionSlider::setSelLength(int seconds) {
    m_selLengthSeconds = std::max(0, seconds);
    update();
}

void SelectionSlider::mousePressEvent(QMouseEvent* event) {
    Q_EMIT mouseDown();
    QSlider::mousePressEvent(event);
}

void SelectionSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    Q_EMIT mouseUp();
}

void SelectionSlider::paintEvent(QPaintEvent* event) {
    QSlider::paintEvent(event);
    if (m_selLengthSeconds <= 0 || maximum() <= minimum())
        return;
    const double span = maximum() - minimum();
    const int margin = 8;
    const double usable = width() - 2 * margin;
    const int x0 = margin + int(usable * (m_selStartSeconds - minimum()) / span);
    const int x1 =
        margin + int(usable * (m_selStartSeconds + m_selLengthSeconds - minimum()) / span);
    QPainter painter(this);
    painter.fillRect(QRect(x0, height() / 2 - 9, std::max(1, x1 - x0), 4), QColor(51, 153, 255));
}
