// The position slider: whole seconds of the loaded file, with a marked stretch (selection start
// and length in seconds) painted under the groove. Mouse press and release are reported as their
// own signals, wherever on the slider they happen.
#pragma once

#include <QSlider>

class SelectionSlider : public QSlider {
    Q_OBJECT
public:
    explicit SelectionSlider(QWidget* parent = nullptr);

    int selStart() const { return m_selStartSeconds; }
    int selLength() const { return m_selLengthSeconds; }
    void setSelStart(int seconds);
    // A negative length is kept at 0.
    void setSelLength(int seconds);

Q_SIGNALS:
    void mouseDown();
    void mouseUp();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_selStartSeconds = 0;
    int m_selLengthSeconds = 0;
};
