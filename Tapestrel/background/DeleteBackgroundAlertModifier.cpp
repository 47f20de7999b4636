#include "Tapestrel/background/DeleteBackgroundAlertModifier.h"

#include "Tapestrel/model/CustomBackground.h"
#include "platform/Alerts.h"

#include <QWidget>

DeleteBackgroundAlertModifier::DeleteBackgroundAlertModifier(
    std::optional<QString> message, QString confirmTitle, std::function<void(CustomBackground *)> onConfirm,
    QWidget *parent)
    : QObject(parent)
    , m_message(std::move(message))
    , m_confirmTitle(std::move(confirmTitle))
    , m_onConfirm(std::move(onConfirm))
    , m_parent(parent)
{ }

QString DeleteBackgroundAlertModifier::title()
{
    return tr("Are you sure you want to delete this background?");
}

void DeleteBackgroundAlertModifier::setDeletingBackground(CustomBackground *background)
{
    m_deletingBackground = background;
    if (!background)
        return;
    // The record the alert is about, kept apart from the pending state.
    const QPointer<CustomBackground> record(background);
    Platform::Alert alert;
    alert.message = title();
    alert.informativeText = m_message.value_or(QString());
    alert.buttons = {m_confirmTitle, tr("Cancel")};
    alert.defaultButton = -1;
    alert.cancelButton = 1;
    alert.style = Platform::Alert::Style::Warning;
    const QPointer<DeleteBackgroundAlertModifier> self(this);
    const Platform::AlertResult result = Platform::Alerts::run(alert, m_parent);
    if (!self)
        return;
    m_deletingBackground = nullptr;
    if (result.button == 0 && record && !record->isDeleted() && m_onConfirm)
        m_onConfirm(record);
}
