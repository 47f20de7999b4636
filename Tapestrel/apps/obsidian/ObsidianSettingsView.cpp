#include "Tapestrel/apps/obsidian/ObsidianSettingsView.h"

#include "Tapestrel/apps/obsidian/ObsidianVaultPicker.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QVBoxLayout>

ObsidianSettingsView::ObsidianSettingsView(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("ObsidianSettingsView"));
    setWindowTitle(tr("Obsidian"));
    auto *layout = new QVBoxLayout(this);

    auto *group = new QGroupBox(this);
    auto *groupLayout = new QVBoxLayout(group);
    m_picker = new ObsidianVaultPicker(group);
    groupLayout->addWidget(m_picker);
    layout->addWidget(group);

    auto *footer =
        new QLabel(tr("Only one vault can be selected, and it applies globally to all themes."), this);
    footer->setObjectName(QStringLiteral("footer"));
    footer->setForegroundRole(QPalette::PlaceholderText);
    footer->setWordWrap(true);
    layout->addWidget(footer);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}
