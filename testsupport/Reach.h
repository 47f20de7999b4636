#pragma once

#include <QRect>
#include <QScrollArea>
#include <QWidget>

namespace TestSupport {

// Whether a person can reach a widget on a screen whose available area is `available`: the widget
// lies inside that area, inside its window and inside the shown part of every scroll area around it,
// after scrolling to it where `scroll` allows.
inline bool reachable(QWidget *widget, const QRect &available, bool scroll = true)
{
    QWidget *window = widget->window();
    QRect shown(window->mapToGlobal(QPoint()), window->size());
    for (QWidget *parent = widget->parentWidget(); parent; parent = parent->parentWidget()) {
        if (auto *area = qobject_cast<QScrollArea *>(parent)) {
            if (scroll)
                area->ensureWidgetVisible(widget, 0, 0);
            shown &= QRect(area->viewport()->mapToGlobal(QPoint()), area->viewport()->size());
        }
    }
    const QRect place(widget->mapToGlobal(QPoint()), widget->size());
    return available.contains(place) && shown.contains(place);
}

} // namespace TestSupport
