#pragma once

#include "Tapestrel/model/OptionModel.h"

// The option "system.dock.position": the Dock's screen edge through System Events.
class DockPositionOptionModel : public OptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.dock.position"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Dock"), QStringLiteral("Position")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // A text that names no edge throws OptionModelError; the empty text sends nothing.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // Nothing when System Events does not answer with a constant or text.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
};
