#pragma once

#include "KivDesktopBackground/ScreenSource.h"

#include <QTimer>

namespace KivDesktopBackground {

class X11DesktopWatcher;

// The screens of the running application: QGuiApplication's list, its added/removed signals and
// each screen's geometry changes; on X11 also changes of the active virtual desktop, and another
// program's desktop window, looked for again a moment after windows came or went.
class SystemScreenSource : public ScreenSource
{
    Q_OBJECT

public:
    static constexpr int otherDesktopDelayMs = 250;

    explicit SystemScreenSource(QObject *parent = nullptr);
    ~SystemScreenSource() override;

    QList<ScreenInfo> screens() const override;
    bool compositingActive() const override;
    std::optional<QString> otherDesktop() const override { return m_otherDesktop; }

private:
    void watch(QScreen *screen);
    void lookForOtherDesktop();

    X11DesktopWatcher *m_desktopWatcher = nullptr;
    QTimer *m_otherDesktopLook = nullptr;
    std::optional<QString> m_otherDesktop;
};

} // namespace KivDesktopBackground
