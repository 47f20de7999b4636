#include "Tapestrel/system/ChoiceOptionPicker.h"

#include "Tapestrel/model/Option.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

ChoiceOptionPicker::ChoiceOptionPicker(Option *option, const QString &title, const QList<Choice> &choices,
                                       Style style, QWidget *parent)
    : QWidget(parent)
    , m_option(option)
    , m_choices(choices)
    , m_style(style)
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_label = new QLabel(title, this);
    layout->addWidget(m_label);
    layout->addStretch(1);

    if (style == Style::popUp) {
        m_combo = new QComboBox(this);
        m_combo->setAccessibleName(title);
        for (const Choice &choice : m_choices) {
            m_combo->addItem(choice.icon, choice.title, choice.value);
            if (choice.separatorAfter)
                m_combo->insertSeparator(m_combo->count());
        }
        layout->addWidget(m_combo);
        connect(m_combo, &QComboBox::activated, this,
                [this](int index) { store(m_combo->itemData(index).toString()); });
    } else {
        auto *segments = new QWidget(this);
        auto *row = new QHBoxLayout(segments);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(0);
        m_group = new QButtonGroup(this);
        for (int i = 0; i < m_choices.size(); ++i) {
            auto *button = new QPushButton(m_choices[i].icon, m_choices[i].title, segments);
            button->setCheckable(true);
            button->setAccessibleName(m_choices[i].title);
            m_group->addButton(button, i);
            m_buttons.append(button);
            row->addWidget(button);
        }
        layout->addWidget(segments);
        connect(m_group, &QButtonGroup::idClicked, this, [this](int id) { store(m_choices[id].value); });
    }

    if (m_option)
        connect(m_option, &Option::valueChanged, this, &ChoiceOptionPicker::refresh);
    refresh();
}

QString ChoiceOptionPicker::title() const
{
    return m_label->text();
}

QStringList ChoiceOptionPicker::titles() const
{
    QStringList result;
    for (const Choice &choice : m_choices)
        result.append(choice.title);
    return result;
}

bool ChoiceOptionPicker::hasSeparatorAfter(const QString &title) const
{
    for (const Choice &choice : m_choices) {
        if (choice.title == title)
            return m_style == Style::popUp && choice.separatorAfter;
    }
    return false;
}

std::optional<QString> ChoiceOptionPicker::selectedValue() const
{
    if (m_combo) {
        if (m_combo->currentIndex() < 0)
            return std::nullopt;
        return m_combo->currentData().toString();
    }
    const int id = m_group->checkedId();
    if (id < 0)
        return std::nullopt;
    return m_choices[id].value;
}

bool ChoiceOptionPicker::choose(const QString &title)
{
    for (int i = 0; i < m_choices.size(); ++i) {
        if (m_choices[i].title != title)
            continue;
        if (m_combo) {
            const int index = m_combo->findData(m_choices[i].value);
            m_combo->setCurrentIndex(index);
            emit m_combo->activated(index);
        } else {
            m_buttons[i]->click();
        }
        return true;
    }
    return false;
}

void ChoiceOptionPicker::setIcons(const QList<QIcon> &icons)
{
    for (int i = 0; i < m_choices.size() && i < icons.size(); ++i) {
        m_choices[i].icon = icons[i];
        if (m_combo)
            m_combo->setItemIcon(m_combo->findData(m_choices[i].value), icons[i]);
        else
            m_buttons[i]->setIcon(icons[i]);
    }
}

void ChoiceOptionPicker::chosen(const QString &)
{ }

void ChoiceOptionPicker::store(const QString &value)
{
    if (m_option)
        m_option->setValue(value);
    chosen(value);
    refresh();
}

void ChoiceOptionPicker::refresh()
{
    const QString value = m_option ? m_option->value() : QString();
    int index = -1;
    for (int i = 0; i < m_choices.size(); ++i) {
        if (m_choices[i].value == value) {
            index = i;
            break;
        }
    }
    if (m_combo) {
        const QSignalBlocker blocker(m_combo);
        m_combo->setCurrentIndex(index < 0 ? -1 : m_combo->findData(m_choices[index].value));
        return;
    }
    // An exclusive group cannot show "nothing selected"; lift it while unchecking.
    m_group->setExclusive(false);
    for (int i = 0; i < m_buttons.size(); ++i)
        m_buttons[i]->setChecked(i == index);
    m_group->setExclusive(true);
}
