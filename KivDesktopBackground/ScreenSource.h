#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QScreen>
#include <QString>

#include <optional>

namespace KivDesktopBackground {

// What the background windows need to know about one connected screen.
struct ScreenInfo
{
    QString name;
    // A stable number for the screen when the platform has one; the name stands in otherwise.
    std::optional<quint32> number;
    QRect geometry;
    // The real screen, when there is one (fake screens in tests have none).
    QPointer<QScreen> screen;
};

// The connected screens and the events that make the background windows re-sync: a change of the
// screen configuration and a change of the active virtual desktop.
class ScreenSource : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
    ~ScreenSource() override;

    // In the platform's order.
    virtual QList<ScreenInfo> screens() const = 0;

    // Whether a compositing manager blends windows: without one, a window's transparent pixels hide
    // what lies beneath instead of showing it.
    virtual bool compositingActive() const { return true; }

    // The name of another program that shows a desktop of its own (its icons, its own background)
    // on the screens, while it does; nothing otherwise.
    virtual std::optional<QString> otherDesktop() const { return std::nullopt; }

signals:
    void screensChanged();
    void activeSpaceChanged();
    void otherDesktopChanged();
};

} // namespace KivDesktopBackground
