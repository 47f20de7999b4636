#include "Tapestrel/background/BackgroundButtons.h"

#include "KivDesktopBackground/DesktopBackgroundController.h"
#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/background/BackgroundSelection.h"
#include "Tapestrel/background/SharedDesktopBackground.h"
#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelContext.h"
#include "platform/Alerts.h"

#include <QApplication>
#include <QTimer>

#include <exception>

using KivDesktopBackground::Background;
using KivUtilities::Symbols;

ApplyBackgroundButton::ApplyBackgroundButton(const Background &background, QObject *parent)
    : QAction(Symbols::icon(QStringLiteral("play")), tr("Apply Background"), parent)
    , m_background(background)
{
    setProperty(Symbols::propertyName, QStringLiteral("play"));
    connect(this, &QAction::triggered, this,
            [this] { KivUtilities::detached(apply(), "ApplyBackgroundButton"); });
}

QCoro::Task<void> ApplyBackgroundButton::apply()
{
    const std::optional<QString> refusal =
        (co_await sharedDesktopBackgroundController().setBackground(m_background)).refusal;
    // Nothing to tell when it is shown, or when a later background took its place.
    if (!refusal)
        co_return;
    // Told as a failed option of an apply is: the person chose to change the desktop's background.
    Platform::Alert alert;
    alert.message = tr("“%1” could not be changed.")
                        .arg(OptionModel::displayPathText(BackgroundOptionModel::optionDisplayPath()));
    alert.informativeText = *refusal;
    alert.buttons = {tr("OK")};
    // From the event loop, not from inside the resumption of whatever waited for the desktop.
    QTimer::singleShot(0, qApp, [alert] { Platform::Alerts::run(alert); });
}

SetAsBackgroundButton::SetAsBackgroundButton(BackgroundSelection *selection, const Background &background,
                                             QObject *parent)
    : QAction(Symbols::icon(QStringLiteral("checkmark.circle")), tr("Choose Background"), parent)
    , m_selection(selection)
    , m_background(background)
{
    setProperty(Symbols::propertyName, QStringLiteral("checkmark.circle"));
    connect(this, &QAction::triggered, this, [this] {
        if (m_selection)
            m_selection->set(m_background);
    });
}

DuplicateBackgroundButton::DuplicateBackgroundButton(ModelContext *modelContext, CustomBackground *background,
                                                     QObject *parent)
    : QAction(Symbols::icon(QStringLiteral("plus.square.on.square")), tr("Duplicate"), parent)
    , m_modelContext(modelContext)
    , m_background(background)
{
    setProperty(Symbols::propertyName, QStringLiteral("plus.square.on.square"));
    connect(this, &QAction::triggered, this, [this] { duplicate(m_modelContext, m_background); });
}

CustomBackground *DuplicateBackgroundButton::duplicate(ModelContext *modelContext,
                                                       CustomBackground *background)
{
    if (!modelContext || !background || background->isDeleted())
        return nullptr;
    const std::optional<CustomBackground::Kind> kind = background->kind();
    if (!kind)
        return nullptr;
    auto *copy =
        modelContext->insert(std::make_unique<CustomBackground>(*kind, background->backgroundValue()));
    saveIgnoringErrors(modelContext);
    return copy;
}

void saveIgnoringErrors(ModelContext *modelContext)
{
    if (!modelContext)
        return;
    try {
        modelContext->save();
    } catch (const std::exception &) {
        // The change stays in the context; the next save writes it.
    }
}
