// The waveform strip: shows the last picture drawn into its back image and reports mouse presses
// with the pointer's x in pixels. What to draw is the caller's business.
#pragma once

#include <QImage>
#include <QWidget>

class WaveView : public QWidget {
    Q_OBJECT
public:
    explicit WaveView(QWidget* parent = nullptr);

    // The picture shown until the next call.
    void setImage(QImage image);
    const QImage& image() const { return m_image; }

Q_SIGNALS:
    void mouseDown(double x);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    QImage m_image;
};
