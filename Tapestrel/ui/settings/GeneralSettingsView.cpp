#include "GeneralSettingsView.h"

#include "Tapestrel/automation/CommandLineClient.h"
#include "Tapestrel/model/Defaults.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QVBoxLayout>

GeneralSettingsView::GeneralSettingsView(Defaults *defaults, QWidget *parent)
    : KivApp::SettingsPage(
        {tr("General"), QStringLiteral("gear")}, Kind::form, [this] { return build(); }, parent)
    , m_defaults(defaults)
{
    setObjectName(QStringLiteral("GeneralSettingsView"));
    setFixedPageHeight(152);
}

KivApp::LaunchAtLogin GeneralSettingsView::launchAtLogin()
{
    return KivApp::LaunchAtLogin(KivApp::LaunchAtLogin::defaultFolder(),
                                 QCoreApplication::applicationFilePath(),
                                 {CommandLineClient::noWindowOption});
}

QWidget *GeneralSettingsView::build()
{
    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new KivApp::LaunchOnStartupToggle(launchAtLogin()));
    Defaults *defaults = m_defaults;
    layout->addWidget(makeToggle(
        tr("Show Menu Bar Icon"), "ShowMenuBarIcon", [defaults] { return defaults->showMenuBarIcon(); },
        [defaults](bool on) { defaults->setShowMenuBarIcon(on); }, &Defaults::showMenuBarIconChanged));
    layout->addWidget(makeToggle(
        tr("Show Dock Icon"), "ShowDockIcon", [defaults] { return defaults->showDockIcon(); },
        [defaults](bool on) { defaults->setShowDockIcon(on); }, &Defaults::showDockIconChanged));
    return content;
}

QCheckBox *GeneralSettingsView::makeToggle(const QString &title, const char *objectName,
                                           std::function<bool()> read, std::function<void(bool)> write,
                                           void (Defaults::*changed)())
{
    auto *box = new QCheckBox(title);
    box->setObjectName(QString::fromLatin1(objectName));
    box->setChecked(read());
    connect(box, &QCheckBox::toggled, m_defaults, write);
    // The defaults tool or another window may change the setting while the page is open.
    connect(m_defaults, changed, box, [box, read] {
        const QSignalBlocker blocker(box);
        box->setChecked(read());
    });
    return box;
}
