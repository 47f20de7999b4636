#pragma once

#include "KivUtilities/Binding.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QObject>
#include <QSet>
#include <QWidget>

namespace KivUtilities {

// Click-to-select for a widget that stands for one item of a list or grid whose selection is a set:
// a plain click selects the item alone, or clears the selection when the item was in it; a click
// with Command (Ctrl here) adds or removes the item and leaves the others.
template<typename Item> class RepairingSelection : public QObject
{
public:
    RepairingSelection(QWidget *view, Binding<QSet<Item>> selection, Item item)
        : QObject(view)
        , m_selection(std::move(selection))
        , m_item(std::move(item))
    {
        view->installEventFilter(this);
    }

    static QSet<Item> afterTap(QSet<Item> selection, const Item &item, bool command)
    {
        const bool selected = selection.contains(item);
        if (command) {
            if (selected)
                selection.remove(item);
            else
                selection.insert(item);
            return selection;
        }
        return selected ? QSet<Item>() : QSet<Item> {item};
    }

    // One tap, with the modifier keys held now (the application's state, not an event's).
    void tap()
    {
        const bool command = QGuiApplication::keyboardModifiers().testFlag(Qt::ControlModifier);
        const QSet<Item> current = m_selection.get ? m_selection.get() : QSet<Item>();
        if (m_selection.set)
            m_selection.set(afterTap(current, m_item, command));
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == parent() && event->type() == QEvent::MouseButtonPress
            && static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
            tap();
        }
        return QObject::eventFilter(watched, event);
    }

private:
    Binding<QSet<Item>> m_selection;
    Item m_item;
};

} // namespace KivUtilities
