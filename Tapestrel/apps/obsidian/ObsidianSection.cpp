#include "Tapestrel/apps/obsidian/ObsidianSection.h"

#include "KivUtilities/Symbols.h"
#include "Tapestrel/apps/obsidian/ObsidianAccentColorOptionModel.h"
#include "Tapestrel/apps/obsidian/ObsidianAppConfig.h"
#include "Tapestrel/apps/obsidian/ObsidianSelectedVaultController.h"
#include "Tapestrel/apps/obsidian/ObsidianSettingsView.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"
#include "Tapestrel/widgets/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QToolButton>
#include <QVBoxLayout>

// The views the section's builders make, which the section updates when the vault choice changes.
// The builders run while the section is being made, so they share these through this record.
struct ObsidianSection::Parts
{
    ObsidianSelectedVaultController *controller = new ObsidianSelectedVaultController;
    QPointer<QToolButton> settingsButton;
    QPointer<QLabel> footer;
    QPointer<QWidget> content;
    QPointer<QWidget> rows;
    QPointer<QWidget> noVault;
    QPointer<QLabel> noVaultLabel;
    QPointer<ObsidianSettingsView> settingsView;
    AppSection::ViewBuilder buildRows;

    void update()
    {
        const auto &vault = controller->vault();
        if (footer) {
            footer->setText(vault ? ObsidianSection::tr("Chosen vault: %1").arg(vault->name) : QString());
            footer->setVisible(vault.has_value());
        }
        if (!content)
            return;
        // The rows are made the first time a vault is chosen, so a profile gains no Obsidian options
        // while there is no vault for them.
        if (vault && !rows && buildRows) {
            rows = buildRows();
            content->layout()->addWidget(rows);
        }
        if (rows)
            rows->setVisible(vault.has_value());
        if (noVault)
            noVault->setVisible(!vault);
    }
};

ObsidianSection::ObsidianSection(Profile *profile, const ObsidianAppConfig *config,
                                 SynchronizedOptionsStore *store, QWidget *parent)
    : ObsidianSection(std::make_shared<Parts>(), profile, config, store, parent)
{ }

ObsidianSection::ObsidianSection(std::shared_ptr<Parts> parts, Profile *profile,
                                 const ObsidianAppConfig *config, SynchronizedOptionsStore *store,
                                 QWidget *parent)
    : AppSection(
        tr("Obsidian"), std::nullopt, profile, config,
        [parts, profile, store]() -> QWidget * {
            parts->buildRows = AppSection::rows(
                {ObsidianThemeOptionModel::optionKey(), ObsidianAccentColorOptionModel::optionKey()}, profile,
                store);
            auto *content = new QWidget;
            auto *layout = new QVBoxLayout(content);
            layout->setContentsMargins(0, 0, 0, 0);
            // "No vault is chosen. Click [gear] button to select one." as one text around the symbol.
            parts->noVault = new QWidget(content);
            auto *line = new QHBoxLayout(parts->noVault);
            line->setSpacing(0);
            const QStringList around =
                tr("No vault is chosen. Click %1 button to select one.").split(QStringLiteral("%1"));
            auto *before = new QLabel(around.value(0), parts->noVault);
            auto *symbol = new QLabel(parts->noVault);
            symbol->setPixmap(KivUtilities::Symbols::icon(QStringLiteral("gearshape")).pixmap(16, 16));
            auto *after = new QLabel(around.value(1), parts->noVault);
            for (QLabel *label : {before, symbol, after}) {
                label->setForegroundRole(QPalette::PlaceholderText);
                line->addWidget(label);
            }
            line->addStretch(1);
            parts->noVaultLabel = before;
            layout->addWidget(parts->noVault);
            parts->content = content;
            QObject::connect(parts->controller, &ObsidianSelectedVaultController::vaultChanged, content,
                             [parts] { parts->update(); });
            parts->update();
            return content;
        },
        [this, parts, config]() -> QWidget * {
            auto *button = new QToolButton;
            button->setObjectName(QStringLiteral("ObsidianSettingsButton"));
            button->setIcon(KivUtilities::Symbols::icon(QStringLiteral("gearshape")));
            button->setToolTip(tr("Settings"));
            button->setAccessibleName(tr("Settings"));
            button->setAutoRaise(true);
            button->setEnabled(config && !config->installedApps().isEmpty());
            parts->settingsButton = button;
            // The section is whole by the time anyone can press the button.
            QObject::connect(button, &QToolButton::clicked, button, [this] { showSettings(); });
            return button;
        },
        [parts]() -> QWidget * {
            parts->footer = new QLabel;
            parts->footer->setTextFormat(Qt::PlainText);
            TextStyle::makeCaption(parts->footer);
            TextStyle::apply(parts->footer, TextStyle::Level::secondary);
            parts->update();
            return parts->footer;
        },
        parent)
    , m_parts(std::move(parts))
    , m_controller(m_parts->controller)
{
    setObjectName(QStringLiteral("ObsidianSection"));
    m_controller->setParent(this);
}

QToolButton *ObsidianSection::settingsButton() const
{
    return m_parts->settingsButton;
}

QLabel *ObsidianSection::footerLabel() const
{
    return m_parts->footer;
}

QWidget *ObsidianSection::optionRows() const
{
    return m_parts->rows;
}

QLabel *ObsidianSection::noVaultLabel() const
{
    return m_parts->noVaultLabel;
}

ObsidianSettingsView *ObsidianSection::settingsView() const
{
    return m_parts->settingsView;
}

void ObsidianSection::showSettings()
{
    if (m_parts->settingsView) {
        m_parts->settingsView->raise();
        return;
    }
    auto *sheet = new ObsidianSettingsView(this);
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    sheet->setWindowModality(Qt::WindowModal);
    m_parts->settingsView = sheet;
    sheet->open();
}
