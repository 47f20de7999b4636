#pragma once

#include <QObject>

#include <functional>

namespace KivApp {

// Opens the main window whenever anything in the process posts "showMainWindow" on the default
// notification centre, so that code without access to the window can bring it up.
class ShowMainWindowHandler : public QObject
{
    Q_OBJECT

public:
    static inline const QString notificationName = QStringLiteral("showMainWindow");

    ShowMainWindowHandler(QString windowId, std::function<void(const QString &windowId)> open,
                          QObject *parent = nullptr);

    QString windowId() const { return m_windowId; }
    static void post();

private:
    QString m_windowId;
    std::function<void(const QString &)> m_open;
};

} // namespace KivApp
