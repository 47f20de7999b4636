#include "Tapestrel/apps/obsidian/ObsidianAccentColorPicker.h"

// Option.h needs the whole Profile type.
#include "Tapestrel/model/Profile.h"

#include "Tapestrel/model/Option.h"

#include <QColorDialog>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

using namespace ObsidianAccentColors;

ObsidianAccentColorPicker::ObsidianAccentColorPicker(Option *option, QWidget *parent)
    : QWidget(parent)
    , m_option(option)
{
    setObjectName(QStringLiteral("ObsidianAccentColorPicker"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(tr("Accent Color"), this);
    layout->addWidget(m_label, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    m_combo = new QComboBox(this);
    m_combo->setAccessibleName(m_label->text());
    for (ObsidianAccentColor choice : allCases())
        m_combo->addItem(title(choice), toRawValue(choice));
    layout->addWidget(m_combo, 0, Qt::AlignVCenter);

    m_well = new QPushButton(this);
    m_well->setAccessibleName(tr("Custom Color"));
    m_well->setFixedSize(44, 22);
    layout->addWidget(m_well, 0, Qt::AlignVCenter);

    connect(m_combo, &QComboBox::activated, this,
            [this](int index) { setChoice(allCases().value(index, ObsidianAccentColor::custom)); });
    connect(m_well, &QPushButton::clicked, this, &ObsidianAccentColorPicker::openColorDialog);
    if (m_option)
        connect(m_option, &Option::valueChanged, this, &ObsidianAccentColorPicker::refresh);
    refresh();
}

ObsidianAccentColor ObsidianAccentColorPicker::choice() const
{
    return fromValue(m_option ? m_option->value() : QString());
}

void ObsidianAccentColorPicker::setChoice(ObsidianAccentColor choice)
{
    if (!m_option)
        return;
    if (choice != ObsidianAccentColor::custom)
        m_option->setValue(toRawValue(choice));
    else if (!accentColor(m_option->value()))
        m_option->setValue(accentHexString(Qt::black));
    refresh();
}

QColor ObsidianAccentColorPicker::color() const
{
    return accentColor(m_option ? m_option->value() : QString()).value_or(QColor(Qt::black));
}

void ObsidianAccentColorPicker::setColor(const QColor &color)
{
    if (m_option)
        m_option->setValue(accentHexString(color));
    refresh();
}

QStringList ObsidianAccentColorPicker::titles() const
{
    QStringList result;
    for (ObsidianAccentColor choice : allCases())
        result.append(title(choice));
    return result;
}

bool ObsidianAccentColorPicker::isColorWellVisible() const
{
    return !m_well->isHidden();
}

void ObsidianAccentColorPicker::refresh()
{
    const ObsidianAccentColor current = choice();
    {
        const QSignalBlocker blocker(m_combo);
        m_combo->setCurrentIndex(int(allCases().indexOf(current)));
    }
    m_well->setVisible(current == ObsidianAccentColor::custom);
    m_well->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; border: 1px solid palette(mid); "
                       "border-radius: 4px; }")
            .arg(color().name(QColor::HexRgb)));
}

void ObsidianAccentColorPicker::openColorDialog()
{
    const QColor chosen =
        QColorDialog::getColor(color(), this, tr("Accent Color"), QColorDialog::ShowAlphaChannel);
    if (chosen.isValid())
        setColor(chosen);
}
