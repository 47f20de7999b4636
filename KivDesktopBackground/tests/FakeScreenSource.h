#pragma once

#include "KivDesktopBackground/ScreenSource.h"

// Screens a test can connect, move, rename and remove, and another program's desktop over them.
class FakeScreenSource : public KivDesktopBackground::ScreenSource
{
public:
    QList<KivDesktopBackground::ScreenInfo> list;
    bool compositing = true;
    std::optional<QString> other;

    QList<KivDesktopBackground::ScreenInfo> screens() const override { return list; }
    bool compositingActive() const override { return compositing; }
    std::optional<QString> otherDesktop() const override { return other; }

    void changeScreens(QList<KivDesktopBackground::ScreenInfo> screens)
    {
        list = std::move(screens);
        emit screensChanged();
    }
    void switchSpace() { emit activeSpaceChanged(); }
    void showOtherDesktop(std::optional<QString> name)
    {
        other = std::move(name);
        emit otherDesktopChanged();
    }
};

inline KivDesktopBackground::ScreenInfo fakeScreen(const QString &name, QRect geometry,
                                                   std::optional<quint32> number = std::nullopt)
{
    return KivDesktopBackground::ScreenInfo {name, number, geometry, nullptr};
}
