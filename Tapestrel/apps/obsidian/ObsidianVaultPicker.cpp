#include "Tapestrel/apps/obsidian/ObsidianVaultPicker.h"

#include "Tapestrel/apps/obsidian/ObsidianSelectedVaultController.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

ObsidianVaultPicker::ObsidianVaultPicker(QWidget *parent)
    : QWidget(parent)
    , m_controller(new ObsidianSelectedVaultController(this))
{
    setObjectName(QStringLiteral("ObsidianVaultPicker"));
    auto *layout = new QHBoxLayout(this);
    if (m_store.vaults().isEmpty()) {
        m_empty = new QLabel(tr("No vaults were found.\nOpen Obsidian app and create one"), this);
        m_empty->setForegroundRole(QPalette::PlaceholderText);
        m_empty->setAlignment(Qt::AlignCenter);
        m_empty->setWordWrap(true);
        layout->addWidget(m_empty, 1);
        return;
    }
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(tr("Vault"), this);
    layout->addWidget(label);
    layout->addStretch(1);
    m_combo = new QComboBox(this);
    m_combo->setAccessibleName(label->text());
    for (const ObsidianVault &vault : m_store.vaults())
        m_combo->addItem(vault.name, vault.id);
    layout->addWidget(m_combo);
    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        if (const ObsidianVault *vault = m_store.vault(m_combo->itemData(index).toString()))
            m_controller->setVault(*vault);
    });
    connect(m_controller, &ObsidianSelectedVaultController::vaultChanged, this,
            &ObsidianVaultPicker::refresh);
    refresh();
}

void ObsidianVaultPicker::refresh()
{
    const auto &vault = m_controller->vault();
    // A chosen vault that this list does not hold (the list was read earlier) selects nothing.
    const QSignalBlocker blocker(m_combo);
    m_combo->setCurrentIndex(vault ? m_combo->findData(vault->id) : -1);
}
