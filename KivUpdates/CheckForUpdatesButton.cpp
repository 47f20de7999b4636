#include "KivUpdates/CheckForUpdatesButton.h"

#include "KivUpdates/KivUpdates.h"

#include "KivApp/AppMenuButtons.h"

#include <QAction>
#include <QCoreApplication>

QAction *checkForUpdatesButton(QPointer<KivUpdates> updates, bool includeImage, QObject *parent)
{
    QAction *action = KivApp::AppMenuButtons::makeAction(
        QCoreApplication::translate("KivUpdates", "Check for Updates...",
                                    "Button / menu item to check for updates"),
        includeImage ? QStringLiteral("arrow.triangle.2.circlepath") : QString(), parent);
    action->setObjectName(QStringLiteral("CheckForUpdatesButton"));
    QObject::connect(action, &QAction::triggered, action, [updates] {
        if (updates)
            updates->checkForUpdates();
    });
    return action;
}
