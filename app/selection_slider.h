// The position slider: whole seconds of the loaded file, with a marked stretch (selection start
// and length in seconds) painted as a band of its own colour across the groove, under the handle,
// and a picture of the whole file under both. Mouse press and release are reported as their own
// signals, wherever on the slider they happen; a value the user sets any other way (the slider's
// keys, the wheel, an accessibility tool) is reported as a seek.
#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <QSlider>

// Amber: apart from the groove, its played part (the style's highlight) and the handle.
inline const QColor kSelectionColor{240, 140, 0};
// However short the stretch, the band is this wide, centred on it.
inline constexpr int kMinimumBandPixels = 3;
inline constexpr int kBandHeightPixels = 8;

// Where the band of a stretch lies on a groove (pixels), for a handle of the given width; empty
// when nothing is marked.
QRect selectionBand(const QRect& groove, int handleWidth, int minimum, int maximum,
                    int startSeconds, int lengthSeconds);

class SelectionSlider : public QSlider {
    Q_OBJECT
public:
    explicit SelectionSlider(QWidget* parent = nullptr);

    int selStart() const { return m_selStartSeconds; }
    int selLength() const { return m_selLengthSeconds; }
    void setSelStart(int seconds);
    // A negative length is kept at 0.
    void setSelLength(int seconds);

    // Where the file's picture lies: across the handle centre's travel, as high as the handle.
    QRect overviewRect() const;
    // The picture of the whole file, drawn into overviewRect(); a null image shows none.
    void setOverview(QImage image);
    const QImage& overview() const { return m_overview; }
    // Sets the value as the user's own choice: reported by seekRequested.
    void setValueAsUser(int seconds);

Q_SIGNALS:
    void mouseDown();
    void mouseUp();
    // The user moved the value to this second other than by dragging with the mouse.
    void seekRequested(int seconds);
    // overviewRect() changed size: the picture wants drawing again.
    void overviewResized();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    int m_selStartSeconds = 0;
    int m_selLengthSeconds = 0;
    bool m_mousePressed = false;
    QImage m_overview;
};
