#pragma once

#include "KivUtilities/LocalizedStringKey.h"
#include "KivUtilities/ToastPosition.h"

#include <optional>

namespace KivUtilities {

// Asks every window that carries a toast overlay to show a short message, without holding a
// reference to any window: it posts "ShowToastNotification" on the default notification centre.
class ToastController
{
public:
    static inline const QString notificationName = QStringLiteral("ShowToastNotification");

    static ToastController &shared();

    // Posts the notification with "message" (the key), "symbol" (the symbol name, empty for none)
    // and "position" (the position's raw text). Call it on the GUI thread.
    void show(const LocalizedStringKey &message, const std::optional<QString> &symbol = std::nullopt,
              ToastPosition position = ToastPosition::Bottom);

private:
    ToastController() = default;
};

} // namespace KivUtilities
