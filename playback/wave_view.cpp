#include "playback/wave_view.h"

#include <QMouseEvent>
#include <QPainter>

WaveView::WaveView(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
}

void WaveView::setImage(QImage image) {
    m_image = std::move(image);
    repaint();
}

void WaveView::paintEvent(QPaintEvent*) {
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, m_image);
}

void WaveView::mousePressEvent(QMouseEvent* event) {
    Q_EMIT mouseDown(event->position().x());
}
