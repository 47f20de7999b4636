#pragma once

#include "Tapestrel/model/OptionModel.h"

// The option "system.ui.appearance": light or dark mode, set and read through System Events (and so on
// the real desktop where the program reaches one). The folder colour and icon style options use it to
// make the system redraw.
class AppearanceOptionModel : public OptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.ui.appearance"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"), QStringLiteral("Appearance")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // Only the exact texts "dark" and "light" are modes; any other text throws OptionModelError, and
    // the empty text changes nothing. The script is sent even when the mode already matches, which is what
    // makes the system redraw after another option's change.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // "dark" or "light"; "light" when the mode cannot be read.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

    // Sets the current mode again, which makes the system redraw after another option's change. Leaves
    // the real desktop alone.
    QCoro::Task<void> redraw();

    static QString readScript();
    static QString applyScript(bool dark);
};
