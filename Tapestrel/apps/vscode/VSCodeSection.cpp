#include "Tapestrel/apps/vscode/VSCodeSection.h"

#include "Tapestrel/apps/vscode/VSCodeSelectedProfileController.h"
#include "Tapestrel/apps/vscode/VSCodeSettingsView.h"
#include "Tapestrel/apps/vscode/VSCodeThemeOptionModel.h"
#include "Tapestrel/widgets/TextStyle.h"

#include "KivUtilities/Symbols.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

struct VSCodeSection::Parts
{
    explicit Parts(VSCodeSelectedProfileController *controller)
        : controller(controller)
    { }

    VSCodeSelectedProfileController *controller;
    QPointer<QToolButton> settingsButton;
    QPointer<QLabel> footer;
    QPointer<QWidget> row;
    QPointer<QWidget> hint;
};

namespace {

using Parts = VSCodeSection::Parts;

// What depends on the chosen profile.
void showChoice(const Parts &parts)
{
    const auto &profile = parts.controller->profile();
    if (parts.row)
        parts.row->setVisible(profile.has_value());
    if (parts.hint)
        parts.hint->setVisible(!profile);
    if (parts.footer) {
        parts.footer->setVisible(profile.has_value());
        parts.footer->setText(profile ? VSCodeSection::tr("Chosen profile: ") + profile->name : QString());
    }
}

QWidget *makeContent(const std::shared_ptr<Parts> &parts, const AppSection::ViewBuilder &rows)
{
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    parts->row = rows();
    layout->addWidget(parts->row);

    parts->hint = new QWidget(content);
    auto *hint = new QHBoxLayout(parts->hint);
    hint->setContentsMargins(0, 0, 0, 0);
    hint->setSpacing(0);
    hint->addWidget(new QLabel(VSCodeSection::tr("No profile is chosen. Click "), parts->hint));
    auto *gear = new QLabel(parts->hint);
    const int size = gear->style()->pixelMetric(QStyle::PM_SmallIconSize);
    gear->setPixmap(KivUtilities::Symbols::icon(QStringLiteral("gearshape")).pixmap(size, size));
    hint->addWidget(gear);
    hint->addWidget(new QLabel(VSCodeSection::tr(" button to select one."), parts->hint));
    hint->addStretch(1);
    TextStyle::apply(parts->hint, TextStyle::Level::secondary);
    layout->addWidget(parts->hint);

    QObject::connect(parts->controller, &VSCodeSelectedProfileController::profileChanged, content,
                     [parts] { showChoice(*parts); });
    showChoice(*parts);
    return content;
}

} // namespace

QWidget *VSCodeAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new VSCodeSection(profile, this, store, parent);
}

VSCodeSection::VSCodeSection(Profile *profile, const VSCodeAppConfig *config, SynchronizedOptionsStore *store,
                             QWidget *parent)
    : VSCodeSection(profile, config, store, std::make_shared<Parts>(new VSCodeSelectedProfileController),
                    parent)
{ }

VSCodeSection::VSCodeSection(Profile *profile, const VSCodeAppConfig *config, SynchronizedOptionsStore *store,
                             std::shared_ptr<Parts> parts, QWidget *parent)
    : AppSection(
        tr("Visual Studio Code"), std::nullopt, profile, config,
        [parts, rows = rows({VSCodeThemeOptionModel::optionKey()}, profile, store)] {
            return makeContent(parts, rows);
        },
        // The button is clicked only once the section exists.
        [parts, config, this]() -> QWidget * {
            parts->settingsButton = new QToolButton;
            parts->settingsButton->setIcon(KivUtilities::Symbols::icon(QStringLiteral("gearshape")));
            parts->settingsButton->setToolTip(tr("Settings"));
            parts->settingsButton->setAccessibleName(tr("Settings"));
            parts->settingsButton->setAutoRaise(true);
            parts->settingsButton->setEnabled(config->isInstalled());
            connect(parts->settingsButton, &QToolButton::clicked, this, &VSCodeSection::showSettings);
            return parts->settingsButton;
        },
        [parts]() -> QWidget * {
            parts->footer = new QLabel;
            parts->footer->setTextFormat(Qt::PlainText);
            TextStyle::makeCaption(parts->footer);
            TextStyle::apply(parts->footer, TextStyle::Level::secondary);
            showChoice(*parts);
            return parts->footer;
        },
        parent)
    , m_parts(std::move(parts))
{
    m_parts->controller->setParent(this);
}

VSCodeSelectedProfileController *VSCodeSection::selectedProfileController() const
{
    return m_parts->controller;
}

QToolButton *VSCodeSection::settingsButton() const
{
    return m_parts->settingsButton;
}

QLabel *VSCodeSection::footerLabel() const
{
    return m_parts->footer;
}

QWidget *VSCodeSection::themeRow() const
{
    return m_parts->row;
}

QWidget *VSCodeSection::noProfileHint() const
{
    return m_parts->hint;
}

void VSCodeSection::showSettings()
{
    if (m_settingsView) {
        m_settingsView->raise();
        return;
    }
    m_settingsView = new VSCodeSettingsView(this);
    m_settingsView->setAttribute(Qt::WA_DeleteOnClose);
    m_settingsView->setWindowModality(Qt::WindowModal);
    m_settingsView->open();
}
