#include "Tapestrel/system/FolderColorPicker.h"

#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/system/AccentColor.h"
#include "Tapestrel/system/AccentColorOptionModel.h"
#include "Tapestrel/system/IconAndWidgetStyle.h"
#include "Tapestrel/system/IconAndWidgetStyleOptionModel.h"
#include "Tapestrel/system/SwatchIcon.h"
#include "Tapestrel/system/SystemColor.h"

#include <QColorDialog>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using Kind = FolderColor::Kind;

FolderColorPicker::FolderColorPicker(Option *option, Profile *profile, QWidget *parent)
    : QWidget(parent)
    , m_option(option)
    , m_profile(profile)
{
    setObjectName(QStringLiteral("FolderColorPicker"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(this);
    layout->addWidget(m_label);
    layout->addStretch(1);

    m_combo = new QComboBox(this);
    for (Kind kind : allCases<Kind>()) {
        m_combo->addItem(::title(kind), toRawValue(kind));
        if (kind == Kind::custom)
            m_combo->insertSeparator(m_combo->count());
    }
    layout->addWidget(m_combo);

    m_well = new QPushButton(this);
    m_well->setAccessibleName(tr("Custom Color"));
    m_well->setFixedSize(44, 22);
    layout->addWidget(m_well);

    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        FolderColor color = folderColor();
        color.kind = fromRawValue<Kind>(m_combo->itemData(index).toString()).value_or(Kind::automatic);
        setFolderColor(color); // the custom colour stays whatever the kind
    });
    connect(m_well, &QPushButton::clicked, this, &FolderColorPicker::openColorDialog);
    if (m_option)
        connect(m_option, &Option::valueChanged, this, &FolderColorPicker::refresh);
    if (m_profile)
        connect(m_profile, &Profile::optionsChanged, this, &FolderColorPicker::watchProfile);
    watchProfile();
}

QString FolderColorPicker::title() const
{
    return m_label->text();
}

QStringList FolderColorPicker::titles() const
{
    QStringList result;
    for (Kind kind : allCases<Kind>())
        result.append(::title(kind));
    return result;
}

bool FolderColorPicker::hasSeparatorAfter(const QString &entryTitle) const
{
    return entryTitle == ::title(Kind::custom);
}

FolderColor FolderColorPicker::folderColor() const
{
    if (!m_option)
        return {};
    return FolderColor::fromJson(m_option->value()).value_or(FolderColor {});
}

void FolderColorPicker::setFolderColor(const FolderColor &color)
{
    if (m_option)
        m_option->setValue(color.toJson());
    refresh();
}

bool FolderColorPicker::choose(const QString &entryTitle)
{
    for (Kind kind : allCases<Kind>()) {
        if (::title(kind) == entryTitle) {
            const int index = m_combo->findData(toRawValue(kind));
            m_combo->setCurrentIndex(index);
            emit m_combo->activated(index);
            return true;
        }
    }
    return false;
}

void FolderColorPicker::chooseCustomColor(const QColor &color)
{
    FolderColor value = folderColor();
    value.customColor = OptionValue::RgbaColor::fromColor(color);
    setFolderColor(value);
}

bool FolderColorPicker::isColorWellVisible() const
{
    return !m_well->isHidden();
}

QColor FolderColorPicker::colorWellColor() const
{
    const FolderColor color = folderColor();
    return color.customColor ? color.customColor->toColor() : QColor(Qt::black);
}

QColor FolderColorPicker::swatchColor(Kind kind) const
{
    if (kind == Kind::custom)
        return colorWellColor();
    if (kind == Kind::automatic) {
        // The accent colour the profile sets; blue, the system's own default, when it sets none.
        const QString accent = m_profile ? m_profile->value(AccentColorOptionModel::optionKey()) : QString();
        const auto color = fromRawValue<AccentColor>(accent);
        const auto swatch = color ? AccentColors::swatchColor(*color) : std::nullopt;
        return swatch.value_or(SystemColors::color(SystemColor::blue));
    }
    return FolderColor::swatchColor(kind).value_or(QColor());
}

void FolderColorPicker::watchProfile()
{
    // The label and the Auto swatch follow two other options of the profile.
    for (const auto &connection : std::as_const(m_optionConnections))
        disconnect(connection);
    m_optionConnections.clear();
    if (m_profile) {
        for (const QString &key :
             {AccentColorOptionModel::optionKey(), IconAndWidgetStyleOptionModel::optionKey()}) {
            if (Option *other = m_profile->option(key))
                m_optionConnections.append(
                    connect(other, &Option::valueChanged, this, &FolderColorPicker::refresh));
        }
    }
    refresh();
}

void FolderColorPicker::refresh()
{
    const QString styleText =
        m_profile ? m_profile->value(IconAndWidgetStyleOptionModel::optionKey()) : QString();
    const auto style = fromRawValue<IconAndWidgetStyle>(styleText);
    m_label->setText(style && isTinted(*style) ? tr("Icon, widget & folder color") : tr("Folder Color"));
    m_combo->setAccessibleName(m_label->text());

    const FolderColor color = folderColor();
    for (Kind kind : allCases<Kind>())
        m_combo->setItemIcon(m_combo->findData(toRawValue(kind)), SwatchIcon::make(swatchColor(kind)));
    {
        const QSignalBlocker blocker(m_combo);
        m_combo->setCurrentIndex(m_combo->findData(toRawValue(color.kind)));
    }
    m_well->setVisible(color.kind == Kind::custom);
    const QColor wellColor = colorWellColor();
    m_well->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid palette(mid); "
                       "border-radius: 4px; }")
            .arg(wellColor.name(QColor::HexArgb)));
}

void FolderColorPicker::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // The system's colours have shades of their own on a dark palette.
    if (event->type() == QEvent::PaletteChange)
        refresh();
}

void FolderColorPicker::openColorDialog()
{
    const QColor chosen =
        QColorDialog::getColor(colorWellColor(), this, tr("Folder Color"), QColorDialog::ShowAlphaChannel);
    if (chosen.isValid())
        chooseCustomColor(chosen);
}
