#include "KivWhatsNew/WhatsNewButton.h"

#include "KivWhatsNew/WhatsNewController.h"

#include "KivApp/AppMenuButtons.h"

#include <QAction>
#include <QCoreApplication>

namespace KivWhatsNew {

QAction *whatsNewButton(QPointer<WhatsNewController> controller, bool includeImage, QObject *parent)
{
    QAction *action =
        KivApp::AppMenuButtons::makeAction(QCoreApplication::translate("KivWhatsNew", "What's New?"),
                                           includeImage ? QStringLiteral("newspaper") : QString(), parent);
    action->setObjectName(QStringLiteral("WhatsNewButton"));
    QObject::connect(action, &QAction::triggered, action, [controller] {
        if (controller)
            controller->showLatestRelease();
    });
    return action;
}

} // namespace KivWhatsNew
