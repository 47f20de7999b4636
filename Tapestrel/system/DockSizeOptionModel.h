#pragma once

#include "Tapestrel/model/OptionModel.h"

// The option "system.dock.size": the Dock's size from 0 to 1 through System Events.
class DockSizeOptionModel : public OptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.dock.size"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Dock"), QStringLiteral("Size")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // A text that is not a number throws OptionModelError; the empty text sends nothing.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // Nothing when System Events does not answer with a number.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
};
