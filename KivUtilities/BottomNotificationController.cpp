#include "KivUtilities/BottomNotificationController.h"

#include "KivUtilities/BottomNotificationView.h"
#include "KivUtilities/BottomNotificationWindowController.h"

#include <QPointer>

#include <chrono>

namespace KivUtilities {

BottomNotificationController &BottomNotificationController::shared()
{
    // Never destroyed: the notice window must not outlive the application object at exit.
    static auto *instance = new BottomNotificationController;
    return *instance;
}

void BottomNotificationController::show(const QString &text, const QIcon &image)
{
    if (m_windowController)
        m_windowController->close();
    m_windowController =
        std::make_unique<BottomNotificationWindowController>(new BottomNotificationView(text, image));
    m_windowController->timeline().setClock(m_clock);
    QPointer<BottomNotificationWindowController> shown = m_windowController.get();
    // The hold counts from the start of the fade-in; a notice replaced meanwhile is gone by then and
    // its timeline with it, so the hide never comes.
    m_windowController->show([shown] {
        if (!shown)
            return;
        shown->timeline().after(std::chrono::milliseconds(holdMs), [shown] {
            if (shown)
                shown->hide();
        });
    });
}

} // namespace KivUtilities
