// A push button that shows only its picture, whole and centred; its caption stays the button's
// text for code and assistive tools but is not drawn.
#pragma once

#include <QPushButton>

class PictureButton : public QPushButton {
    Q_OBJECT
public:
    explicit PictureButton(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
