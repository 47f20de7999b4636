#pragma once

#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/system/AppearanceOptionModel.h"

// The option "system.desktop.iconAndWidgetStyle": the global "AppleIconAppearanceTheme". A change
// is followed by setting the current dark mode again, so that applications redraw, and by a Dock
// restart once the profile has been applied.
class IconAndWidgetStyleOptionModel : public OptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.iconAndWidgetStyle"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"),
                QStringLiteral("Icon and Widget Style")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // The empty text and the style already in place change nothing; a text that names no style
    // throws OptionModelError.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // One of the styles' texts; "default" for a missing or unknown one.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

    static QString currentValue();

private:
    AppearanceOptionModel m_appearance;
};
