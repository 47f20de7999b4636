#pragma once

#include "KivDesktopBackground/ScreenSource.h"

namespace KivDesktopBackground {

class X11DesktopWatcher;

// The screens of the running application: QGuiApplication's list, its added/removed signals and
// each screen's geometry changes; on X11 also changes of the active virtual desktop.
class SystemScreenSource : public ScreenSource
{
    Q_OBJECT

public:
    explicit SystemScreenSource(QObject *parent = nullptr);
    ~SystemScreenSource() override;

    QList<ScreenInfo> screens() const override;
    bool compositingActive() const override;

private:
    void watch(QScreen *screen);

    X11DesktopWatcher *m_desktopWatcher = nullptr;
};

} // namespace KivDesktopBackground
