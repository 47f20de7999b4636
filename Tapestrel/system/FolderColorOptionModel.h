#pragma once

#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/system/AppearanceOptionModel.h"
#include "Tapestrel/system/IconAndWidgetStyleOptionModel.h"

// The option "system.finder.folderColor": the global tint key ("Red", ..., "Other", "" for
// automatic) and the custom tint colour. A change sets the current dark mode again so that folder
// icons redraw, and restarts the Dock when the icon style is tinted.
class FolderColorOptionModel : public OptionModel
{
public:
    FolderColorOptionModel(QString tintColorKey, QString customTintColorKey);

    static QString optionKey() { return QStringLiteral("system.finder.folderColor"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"), QStringLiteral("Folder Color")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QString tintColorKey() const { return m_tintColorKey; }
    QString customTintColorKey() const { return m_customTintColorKey; }

    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // A text that does not decode throws OptionModelError; the empty text changes nothing. Nothing is written
    // when the value equals the current reading.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    // The JSON text of the current tint and custom colour.
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;

    QString currentValue() const;

private:
    QString m_tintColorKey;
    QString m_customTintColorKey;
    AppearanceOptionModel m_appearance;
};
