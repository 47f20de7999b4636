#include "Tapestrel/apps/vscode/VSCodeProfilePicker.h"

#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>

VSCodeProfilePicker::VSCodeProfilePicker(QWidget *parent)
    : QWidget(parent)
    , m_controller(new VSCodeSelectedProfileController(this))
    , m_combo(new QComboBox(this))
{
    setObjectName(QStringLiteral("VSCodeProfilePicker"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *label = new QLabel(tr("Profile"), this);
    layout->addWidget(label);
    layout->addStretch(1);
    m_combo->setAccessibleName(label->text());
    for (qsizetype i = 0; i < m_store.profiles().size(); ++i)
        m_combo->addItem(m_store.profiles().at(i).name, int(i));
    layout->addWidget(m_combo);
    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        const int row = m_combo->itemData(index).toInt();
        if (row >= 0 && row < m_store.profiles().size())
            m_controller->setProfile(m_store.profiles().at(row));
    });
    connect(m_controller, &VSCodeSelectedProfileController::profileChanged, this,
            &VSCodeProfilePicker::refresh);
    refresh();
}

void VSCodeProfilePicker::refresh()
{
    // A chosen profile that this list does not hold (it was read earlier) selects nothing.
    const QSignalBlocker blocker(m_combo);
    const qsizetype row = m_controller->profile() ? m_store.profiles().indexOf(*m_controller->profile()) : -1;
    m_combo->setCurrentIndex(int(row));
}
