#include "app/picture_button.h"

#include <QStyleOptionButton>
#include <QStylePainter>

PictureButton::PictureButton(QWidget* parent) : QPushButton(parent) {}

void PictureButton::paintEvent(QPaintEvent*) {
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    // Without a caption the style centres the picture in the bevel.
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);
}
