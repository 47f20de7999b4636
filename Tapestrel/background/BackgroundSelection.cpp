#include "Tapestrel/background/BackgroundSelection.h"

#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/model/Option.h"

using KivDesktopBackground::Background;

BackgroundSelection::BackgroundSelection(Option *option, QObject *parent)
    : QObject(parent)
    , m_overOption(option != nullptr)
    , m_option(option)
{
    if (option)
        connect(option, &Option::valueChanged, this, &BackgroundSelection::changed);
}

BackgroundSelection::BackgroundSelection(const std::optional<Background> &initial, QObject *parent)
    : QObject(parent)
    , m_overOption(false)
    , m_value(initial)
{ }

std::optional<Background> BackgroundSelection::get() const
{
    if (!m_overOption)
        return m_value;
    // An option that went away reads as nothing chosen, like an empty value.
    const QString value = m_option ? m_option->value() : QString();
    if (m_decodedValue != value) {
        m_decoded = BackgroundOptionModel::selection(value);
        m_decodedValue = value;
    }
    return m_decoded;
}

void BackgroundSelection::set(const std::optional<Background> &background)
{
    if (m_overOption) {
        // Writing into an option that was deleted meanwhile changes nothing.
        if (m_option)
            m_option->setValue(BackgroundOptionModel::valueForSelection(background));
        return;
    }
    if (m_value == background)
        return;
    m_value = background;
    emit changed();
}

bool BackgroundSelection::isSelected(const Background &background) const
{
    const std::optional<Background> current = get();
    return current && *current == background;
}
