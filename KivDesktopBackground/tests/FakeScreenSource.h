#pragma once

#include "KivDesktopBackground/ScreenSource.h"

// Screens a test can connect, move, rename and remove.
class FakeScreenSource : public KivDesktopBackground::ScreenSource
{
public:
    QList<KivDesktopBackground::ScreenInfo> list;
    bool compositing = true;

    QList<KivDesktopBackground::ScreenInfo> screens() const override { return list; }
    bool compositingActive() const override { return compositing; }

    void changeScreens(QList<KivDesktopBackground::ScreenInfo> screens)
    {
        list = std::move(screens);
        emit screensChanged();
    }
    void switchSpace() { emit activeSpaceChanged(); }
};

inline KivDesktopBackground::ScreenInfo fakeScreen(const QString &name, QRect geometry,
                                                   std::optional<quint32> number = std::nullopt)
{
    return KivDesktopBackground::ScreenInfo {name, number, geometry, nullptr};
}
