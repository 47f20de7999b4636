#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <cstdint>

namespace KivDesktopBackground {

// Reports changes of the root window's _NET_CURRENT_DESKTOP, the X11 counterpart of switching to
// another workspace, and top-level windows being shown or hidden (a window manager's frames among
// them). Qt already listens for property changes on the root window; this filter only picks out the
// ones it cares about.
class X11DesktopWatcher
    : public QObject
    , public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit X11DesktopWatcher(QObject *parent = nullptr);
    ~X11DesktopWatcher() override;

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *result) override;

signals:
    void currentDesktopChanged();
    void windowsChanged();

private:
    std::uint32_t m_root = 0;
    std::uint32_t m_currentDesktopAtom = 0;
};

} // namespace KivDesktopBackground
