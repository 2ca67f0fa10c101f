#include "app/page_layout.h"

#include <QEvent>
#include <QTabWidget>

#include <algorithm>

QRect pageRect(const QRect& onTabs, const QPoint& pageOffset, const QSize& pageSize) {
    QRect rect = onTabs.translated(-pageOffset);
    rect.moveLeft(std::max(0, rect.left()));
    rect.moveTop(std::max(0, rect.top()));
    if (!pageSize.isEmpty()) {
        rect.setRight(std::min(rect.right(), pageSize.width() - 1));
        rect.setBottom(std::min(rect.bottom(), pageSize.height() - 1));
    }
    return rect;
}

PageLayout::PageLayout(QWidget* page, QTabWidget* tabs)
    : QObject(page), m_page(page), m_tabs(tabs) {
    // The page sits at the corner of the tab control's page stack; the stack is what moves.
    m_page->installEventFilter(this);
    if (m_page->parentWidget() != nullptr && m_page->parentWidget() != m_tabs)
        m_page->parentWidget()->installEventFilter(this);
}

void PageLayout::place(QWidget* control, const QRect& onTabs) {
    m_controls.emplace_back(control, onTabs);
    apply(control, onTabs);
    control->installEventFilter(this);
}

void PageLayout::apply(QWidget* control, const QRect& onTabs) {
    // Until the tab control has laid its pages out, the page's size means nothing.
    const QSize pageSize = m_page->testAttribute(Qt::WA_Resized) ? m_page->size() : QSize();
    m_applying = true;
    control->setGeometry(pageRect(onTabs, m_page->mapTo(m_tabs, QPoint(0, 0)), pageSize));
    m_applying = false;
}

bool PageLayout::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Move && event->type() != QEvent::Resize)
        return QObject::eventFilter(watched, event);
    if (watched == m_page || watched == m_page->parentWidget()) {
        for (const auto& [control, onTabs] : m_controls)
            apply(control, onTabs);
    } else if (event->type() == QEvent::Resize && !m_applying) {
        // A size the window's own rules give a control (a frame that follows the window's
        // width) is its size from then on.
        for (auto& [control, onTabs] : m_controls) {
            if (control == watched)
                onTabs.setSize(control->size());
        }
    }
    return QObject::eventFilter(watched, event);
}
