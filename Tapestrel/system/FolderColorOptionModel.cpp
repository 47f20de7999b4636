#include "Tapestrel/system/FolderColorOptionModel.h"

#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/system/FolderColor.h"
#include "Tapestrel/system/FolderColorPicker.h"
#include "Tapestrel/system/IconAndWidgetStyle.h"
#include "Tapestrel/system/SystemOptionDefaults.h"

FolderColorOptionModel::FolderColorOptionModel(QString tintColorKey, QString customTintColorKey)
    : m_tintColorKey(std::move(tintColorKey))
    , m_customTintColorKey(std::move(customTintColorKey))
{ }

QWidget *FolderColorOptionModel::makePicker(Option *option, Profile *profile, QWidget *parent)
{
    return new FolderColorPicker(option, profile, parent);
}

QString FolderColorOptionModel::currentValue() const
{
    FolderColor current;
    current.kind =
        FolderColor::kindFromTintText(SystemOptionDefaults::readString(m_tintColorKey).value_or(QString()));
    if (const auto custom = SystemOptionDefaults::readString(m_customTintColorKey))
        current.customColor = OptionValue::rgbaFromString(*custom);
    return current.toJson();
}

QCoro::Task<void> FolderColorOptionModel::apply(QString value, QPointer<Profile>,
                                                std::shared_ptr<bool> needsDockRestart)
{
    const std::optional<FolderColor> stored = decodedOptionValue(key(), value, FolderColor::fromJson(value));
    if (!stored)
        co_return;
    const FolderColor color = *stored;
    // Compared as colours, not as texts: "1 0 0 1" from a hand-edited profile is what the system holds
    // as "1.000000 0.000000 0.000000 1.000000", and applying it again must change nothing.
    if (FolderColor::fromJson(currentValue()) == color)
        co_return;

    const QString global = QStringLiteral("-g");
    const QStringList tint {QStringLiteral("write"), global, m_tintColorKey, QStringLiteral("-string"),
                            FolderColor::tintText(color.kind)};
    co_await SystemOptionDefaults::write(tint);
    const QStringList custom = color.customColor
        ? QStringList {QStringLiteral("write"), global, m_customTintColorKey, QStringLiteral("-string"),
                       color.customColor->text()}
        : QStringList {QStringLiteral("delete"), global, m_customTintColorKey};
    co_await SystemOptionDefaults::write(custom);

    // Setting the current mode again makes the system redraw the folder icons.
    co_await m_appearance.redraw();

    // Tinted icon styles take the folder colour; the Dock shows it only after a restart.
    const auto style = fromRawValue<IconAndWidgetStyle>(IconAndWidgetStyleOptionModel::currentValue());
    if (style && isTinted(*style) && needsDockRestart)
        *needsDockRestart = true;
}

QCoro::Task<std::optional<QString>> FolderColorOptionModel::readCurrentValue(QPointer<Profile>)
{
    co_return currentValue();
}
