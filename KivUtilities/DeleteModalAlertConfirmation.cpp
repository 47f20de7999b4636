#include "KivUtilities/DeleteModalAlertConfirmation.h"

#include <QCoreApplication>

namespace KivUtilities {

DeleteModalAlertConfirmation::DeleteModalAlertConfirmation(MessageBuilder buildMessage)
    : m_buildMessage(std::move(buildMessage))
{ }

std::optional<Platform::Alert> DeleteModalAlertConfirmation::makeAlert(const QVariantList &items) const
{
    const std::optional<QString> message = m_buildMessage ? m_buildMessage(items) : std::nullopt;
    if (!message)
        return std::nullopt;
    Platform::Alert alert;
    alert.message = *message;
    alert.informativeText = QCoreApplication::translate("KivUtilities", "This operation cannot be undone.",
                                                        "Delete message informative text");
    alert.buttons = {QCoreApplication::translate("KivUtilities", "Delete", "Yes button"),
                     QCoreApplication::translate("KivUtilities", "Don't delete", "No button")};
    alert.defaultButton = 0;
    alert.cancelButton = 1;
    alert.style = Platform::Alert::Style::Warning;
    return alert;
}

void DeleteModalAlertConfirmation::confirm(const QVariantList &items,
                                           const std::function<void(bool)> &completion)
{
    const std::optional<Platform::Alert> alert = makeAlert(items);
    if (!alert) {
        // Nothing to ask is no reason to drop the operation.
        if (completion)
            completion(true);
        return;
    }
    const Platform::AlertResult result = Platform::Alerts::run(*alert);
    if (completion)
        completion(result.button == 0);
}

} // namespace KivUtilities
