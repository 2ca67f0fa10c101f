// Places the controls of a tab page from the tab control's own top-left corner, tab bar
// included, as the window's design measures them. The page itself starts below the tab bar and
// inside the pane's frame, so every control moves by the page's offset, again whenever the tab
// control lays its pages out.
#pragma once

#include <QObject>
#include <QRect>

#include <utility>
#include <vector>

class QTabWidget;
class QWidget;

// A rectangle given on the tab control (pixels), as the page shows it: moved by the page's
// offset, kept off the page's left and top edges and cut at its right and bottom ones. An empty
// page size means the page is not laid out yet, and nothing is cut.
QRect pageRect(const QRect& onTabs, const QPoint& pageOffset, const QSize& pageSize);

class PageLayout : public QObject {
    Q_OBJECT
public:
    // The layout belongs to the page; the page must already be one of the tab control's.
    PageLayout(QWidget* page, QTabWidget* tabs);

    // Puts the control (a child of the page) at this rectangle of the tab control. A later
    // resize of the control by anyone else sets the size it keeps.
    void place(QWidget* control, const QRect& onTabs);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply(QWidget* control, const QRect& onTabs);

    QWidget* m_page;
    QTabWidget* m_tabs;
    std::vector<std::pair<QWidget*, QRect>> m_controls;
    bool m_applying = false;
};
