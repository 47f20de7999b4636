#include "Tapestrel/model/ToggleOptionPicker.h"

#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionValue.h"
#include "Tapestrel/model/Profile.h"

#include <QCheckBox>
#include <QHBoxLayout>

ToggleOptionPicker::ToggleOptionPicker(const QString &title, Option *option, QWidget *parent)
    : QWidget(parent)
    , m_option(option)
    , m_toggle(new QCheckBox(title, this))
{
    setObjectName(QStringLiteral("ToggleOptionPicker"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_toggle);
    showValue();
    if (m_option)
        connect(m_option, &Option::valueChanged, this, &ToggleOptionPicker::showValue);
    connect(m_toggle, &QCheckBox::toggled, this, [this](bool on) {
        if (m_option && isOn(m_option->value()) != on)
            m_option->setValue(OptionValue::fromBool(on));
    });
}

QString ToggleOptionPicker::title() const
{
    return m_toggle->text();
}

bool ToggleOptionPicker::isOn() const
{
    return m_toggle->isChecked();
}

void ToggleOptionPicker::showValue()
{
    m_toggle->setEnabled(m_option != nullptr);
    const bool on = m_option ? isOn(m_option->value()) : false;
    if (m_toggle->isChecked() != on)
        m_toggle->setChecked(on);
}
