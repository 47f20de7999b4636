#pragma once

#include "KivUtilities/Confirmation.h"
#include "platform/Alerts.h"

#include <QString>

#include <optional>

namespace KivUtilities {

// Asks before deleting something, with a modal warning alert: "Delete" (Return) or
// "Don't delete" (Escape). The caller words the question for the items concerned.
class DeleteModalAlertConfirmation : public Confirmation
{
public:
    // Gives the question to ask for the items, or nothing when there is nothing to ask.
    using MessageBuilder = std::function<std::optional<QString>(const QVariantList &items)>;

    explicit DeleteModalAlertConfirmation(MessageBuilder buildMessage);

    std::optional<Platform::Alert> makeAlert(const QVariantList &items) const;

    // Runs the alert and calls the completion with true for "Delete", false for any other end.
    // With no question to ask, the deletion goes ahead: the completion gets true at once.
    void confirm(const QVariantList &items, const std::function<void(bool)> &completion) override;

private:
    MessageBuilder m_buildMessage;
};

} // namespace KivUtilities
