#include "Tapestrel/apps/obsidian/ObsidianThemePicker.h"

#include "Tapestrel/apps/obsidian/ObsidianSelectedVaultController.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeStore.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

ObsidianThemePicker::ObsidianThemePicker(Option *option, Profile *, QWidget *parent)
    : QWidget(parent)
    , m_option(option)
    , m_controller(new ObsidianSelectedVaultController(this))
    , m_store(new ObsidianThemeStore(m_controller->vault(), this))
    , m_combo(new QComboBox(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Theme"), this));
    layout->addStretch(1);
    layout->addWidget(m_combo);
    connect(m_controller, &ObsidianSelectedVaultController::vaultChanged, this,
            [this] { m_store->setVault(m_controller->vault()); });
    connect(m_store, &ObsidianThemeStore::changed, this, &ObsidianThemePicker::rebuild);
    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        if (m_option && m_combo->itemData(index).isValid())
            m_option->setValue(m_combo->itemData(index).toString());
    });
    rebuild();
}

void ObsidianThemePicker::rebuild()
{
    const QSignalBlocker blocker(m_combo);
    m_combo->clear();
    m_combo->addItem(tr("Don't set"), ObsidianThemeOptionModel::doNotSetValue);
    m_combo->insertSeparator(m_combo->count());
    for (const ObsidianTheme &theme : m_store->defaultThemes())
        m_combo->addItem(theme.name, theme.id);
    for (const ObsidianTheme &theme : m_store->customThemes())
        m_combo->addItem(theme.name, theme.id);
    m_combo->setCurrentIndex(m_option ? m_combo->findData(m_option->value()) : -1);
}
