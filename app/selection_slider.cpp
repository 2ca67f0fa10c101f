#include "app/selection_slider.h"

#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

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

QRect selectionBand(const QRect& groove, int handleWidth, int minimum, int maximum,
                    int startSeconds, int lengthSeconds) {
    if (lengthSeconds <= 0 || maximum <= minimum)
        return {};
    // The handle's centre travels over the groove less half a handle at each end; a mark sits
    // where the centre would be at its second.
    const int span = std::max(0, groove.width() - handleWidth);
    const auto at = [&](int seconds) {
        const int clamped = std::clamp(seconds, minimum, maximum);
        return groove.left() + handleWidth / 2 +
               QStyle::sliderPositionFromValue(minimum, maximum, clamped, span);
    };
    int left = at(startSeconds);
    int right = at(startSeconds + lengthSeconds);
    if (right - left < kMinimumBandPixels) {
        const int centre = (left + right) / 2;
        left = std::max(groove.left(), centre - kMinimumBandPixels / 2);
        right = std::min(groove.right() + 1, left + kMinimumBandPixels);
        left = right - kMinimumBandPixels;
    }
    // Across the groove and a little beyond it, so a thin groove still shows a band.
    return QRect(QPoint(left, groove.center().y() - kBandHeightPixels / 2),
                 QSize(right - left, kBandHeightPixels));
}

void SelectionSlider::paintEvent(QPaintEvent*) {
    // The groove first, then the marked stretch over it, then the handle over both.
    QPainter painter(this);
    QStyleOptionSlider option;
    initStyleOption(&option);
    option.subControls = QStyle::SC_SliderGroove;
    if (tickPosition() != NoTicks)
        option.subControls |= QStyle::SC_SliderTickmarks;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);

    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const QRect band = selectionBand(groove, handle.width(), minimum(), maximum(),
                                     m_selStartSeconds, m_selLengthSeconds);
    if (!band.isEmpty())
        painter.fillRect(band, kSelectionColor);

    option.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}
