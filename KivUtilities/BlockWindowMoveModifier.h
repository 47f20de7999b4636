#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

namespace KivUtilities {

// Windows that can be dragged by their background carry the property "movableByWindowBackground";
// WindowDragMover makes a window honour it (a left-button drag on the window's background, not on
// a control, moves the window).
class WindowDragMover : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *propertyName = "movableByWindowBackground";

    static void install(QWidget *window);
    static bool isMovableByWindowBackground(const QWidget *window);
    static void setMovableByWindowBackground(QWidget *window, bool movable);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using QObject::QObject;
};

// While the pointer is over the view, dragging does not move its window; elsewhere the window is
// movable by its background (whatever it was before).
class BlockWindowMoveModifier : public QObject
{
    Q_OBJECT
public:
    explicit BlockWindowMoveModifier(QWidget *view);

    bool isHovered() const { return m_isHovered; }
    QWidget *window() const { return m_window; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void apply();

    bool m_isHovered = false;
    QPointer<QWidget> m_window;
};

} // namespace KivUtilities
