#include "KivUtilities/DefaultsEnumPicker.h"

#include "platform/UserDefaults.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace KivUtilities {

DefaultsEnumPicker::DefaultsEnumPicker(const QString &title, const std::optional<QString> &description,
                                       QList<Case> cases, Binding<QString> value, QWidget *parent)
    : QWidget(parent)
    , m_cases(std::move(cases))
    , m_value(std::move(value))
    , m_title(new QLabel(title, this))
    , m_description(new QLabel(description.value_or(QString()), this))
    , m_combo(new QComboBox(this))
{
    setObjectName(QStringLiteral("DefaultsEnumPicker"));
    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    auto *label = new QVBoxLayout;
    label->setSpacing(2);
    label->addWidget(m_title);
    label->addWidget(m_description);
    m_description->setVisible(description.has_value());
    m_description->setWordWrap(true);
    row->addLayout(label, 1);
    row->addWidget(m_combo, 0, Qt::AlignVCenter);
    m_title->setBuddy(m_combo);

    for (const Case &c : m_cases)
        m_combo->addItem(c.title, c.rawValue);
    showBoundValue();
    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        if (index >= 0 && index < m_cases.size() && m_value.set)
            m_value.set(m_cases.at(index).rawValue);
    });
    if (m_value.subscribe)
        m_value.subscribe(this, [this] { showBoundValue(); });
}

void DefaultsEnumPicker::showBoundValue()
{
    const QString raw = m_value.get ? m_value.get() : QString();
    const QSignalBlocker blocker(m_combo);
    m_combo->setCurrentIndex(m_combo->findData(raw));
}

QString DefaultsEnumPicker::titleText() const
{
    return m_title->text();
}

QString DefaultsEnumPicker::descriptionText() const
{
    return m_description->isVisibleTo(const_cast<DefaultsEnumPicker *>(this)) ? m_description->text()
                                                                              : QString();
}

Binding<QString> DefaultsEnumPicker::standardDefaultsBinding(const QString &key)
{
    Binding<QString> binding;
    binding.get = [key] {
        return Platform::UserDefaults::standard().string(key).value_or(QString());
    };
    binding.set = [key](const QString &raw) {
        Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
        defaults.setValue(key, raw);
        defaults.synchronize();
    };
    binding.subscribe = [key](QObject *context, std::function<void()> changed) {
        QObject::connect(&Platform::UserDefaults::standard(), &Platform::UserDefaults::valueChanged, context,
                         [key, changed](const QString &changedKey) {
                             if (changedKey == key)
                                 changed();
                         });
    };
    return binding;
}

} // namespace KivUtilities
