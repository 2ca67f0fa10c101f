#include "app/selection_slider.h"

#include <QAccessibleWidget>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>

#include <algorithm>

namespace {

// What a screen reader sees of the slider: its value, which it may also set; a value set this
// way seeks, as the slider's own keys do.
class AccessibleSlider final : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleSlider(SelectionSlider* slider)
        : QAccessibleWidget(slider, QAccessible::Slider) {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text kind) const override {
        return kind == QAccessible::Value ? QString::number(slider()->value())
                                          : QAccessibleWidget::text(kind);
    }
    QVariant currentValue() const override { return slider()->value(); }
    void setCurrentValue(const QVariant& value) override {
        slider()->setValueAsUser(value.toInt());
    }
    QVariant maximumValue() const override { return slider()->maximum(); }
    QVariant minimumValue() const override { return slider()->minimum(); }
    QVariant minimumStepSize() const override { return slider()->singleStep(); }

private:
    SelectionSlider* slider() const { return static_cast<SelectionSlider*>(widget()); }
};

QAccessibleInterface* accessibleSlider(const QString& className, QObject* object) {
    if (className == QLatin1String("SelectionSlider") && object->isWidgetType())
        return new AccessibleSlider(static_cast<SelectionSlider*>(object));
    return nullptr;
}

} // namespace

SelectionSlider::SelectionSlider(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    [[maybe_unused]] static const bool accessible = [] {
        QAccessible::installFactory(accessibleSlider);
        return true;
    }();
    setRange(0, 10);
    setTickPosition(QSlider::TicksBelow);
    // The action's new place is already the slider position, its value follows. A drag with
    // the mouse, and pages stepped while the mouse is held on the groove, seek on release.
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int action) {
        if (m_mousePressed || (action == SliderMove && isSliderDown()))
            return;
        Q_EMIT seekRequested(sliderPosition());
    });
}

void SelectionSlider::setValueAsUser(int seconds) {
    setValue(seconds);
    Q_EMIT seekRequested(value());
}

QRect SelectionSlider::overviewRect() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    const QRect groove =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, this);
    const QRect handle =
        style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this);
    const int span = std::max(0, groove.width() - handle.width());
    return QRect(groove.left() + handle.width() / 2, handle.top(), span + 1, handle.height());
}

void SelectionSlider::setOverview(QImage image) {
    m_overview = std::move(image);
    update();
}

void SelectionSlider::resizeEvent(QResizeEvent* event) {
    QSlider::resizeEvent(event);
    if (m_overview.size() != overviewRect().size())
        Q_EMIT overviewResized();
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
    m_mousePressed = true;
    Q_EMIT mouseDown();
    QSlider::mousePressEvent(event);
}

void SelectionSlider::mouseReleaseEvent(QMouseEvent* event) {
    QSlider::mouseReleaseEvent(event);
    m_mousePressed = false;
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
    // The groove first, then the file's picture and the marked stretch over it, then the handle
    // over all.
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
    if (!m_overview.isNull())
        painter.drawImage(overviewRect().topLeft(), m_overview);
    const QRect band = selectionBand(groove, handle.width(), minimum(), maximum(),
                                     m_selStartSeconds, m_selLengthSeconds);
    if (!band.isEmpty())
        painter.fillRect(band, kSelectionColor);

    option.subControls = QStyle::SC_SliderHandle;
    style()->drawComplexControl(QStyle::CC_Slider, &option, &painter, this);
}
