#include "Tapestrel/apps/vscode/VSCodeThemePicker.h"

#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"
#include "Tapestrel/apps/vscode/VSCodeThemeOptionModel.h"
#include "Tapestrel/apps/vscode/VSCodeThemeStore.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QStandardItemModel>

VSCodeThemePicker::VSCodeThemePicker(Option *option, QWidget *parent)
    : QWidget(parent)
    , m_option(option)
    , m_controller(new VSCodeSelectedProfileController(this))
    , m_store(new VSCodeThemeStore(m_controller->profile(), this))
    , m_combo(new QComboBox(this))
{
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(tr("Theme"), this));
    layout->addStretch(1);
    layout->addWidget(m_combo);
    connect(m_controller, &VSCodeSelectedProfileController::profileChanged, this, [this] {
        m_store->setProfile(m_controller->profile());
        m_store->setCustomThemes(m_store->loadCustomThemes());
    });
    connect(m_store, &VSCodeThemeStore::themesChanged, this, &VSCodeThemePicker::rebuild);
    connect(m_combo, &QComboBox::activated, this, [this](int index) {
        if (m_option && m_combo->itemData(index).isValid())
            m_option->setValue(m_combo->itemData(index).toString());
    });
    if (m_option)
        connect(m_option, &Option::valueChanged, this, &VSCodeThemePicker::rebuild);
    rebuild();
}

void VSCodeThemePicker::rebuild()
{
    const QSignalBlocker blocker(m_combo);
    m_combo->clear();
    m_combo->addItem(tr("Don't set"), VSCodeThemeOptionModel::doNotSetValue);
    m_combo->insertSeparator(m_combo->count());
    auto *model = qobject_cast<QStandardItemModel *>(m_combo->model());
    auto section = [this, model](const QString &title, const QList<VSCodeTheme> &themes) {
        m_combo->addItem(title);
        if (QStandardItem *header = model ? model->item(m_combo->count() - 1) : nullptr) {
            header->setFlags(Qt::NoItemFlags);
            QFont font = header->font();
            font.setBold(true);
            header->setFont(font);
        }
        for (const VSCodeTheme &theme : themes)
            m_combo->addItem(theme.name, theme.id);
    };
    section(tr("Built-in Themes"), m_store->defaultThemes());
    section(tr("Custom Themes"), m_store->customThemes());
    m_combo->setCurrentIndex(m_option ? m_combo->findData(m_option->value()) : -1);
}
