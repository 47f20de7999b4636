#include "AppMenuButtons.h"

#include "KivUtilities/MakerURL.h"
#include "KivUtilities/Symbols.h"
#include "KivUtilities/URLStore.h"

#include <QAction>
#include <QCoreApplication>

namespace KivApp::AppMenuButtons {

namespace {

QString text(const char *source)
{
    return QCoreApplication::translate("AppMenuButtons", source);
}

QAction *linkButton(const QString &label, const QString &symbol, KivUtilities::MakerURL page, QObject *parent)
{
    QAction *action = makeAction(label, symbol, parent);
    // The maker's pages carry the campaign items, as every link of the program that has them.
    action->setData(KivUtilities::URLStore::url(page, true));
    QObject::connect(action, &QAction::triggered, action,
                     [page] { KivUtilities::URLStore::open(page, true); });
    return action;
}

} // namespace

QAction *makeAction(const QString &label, const QString &symbol, QObject *parent)
{
    auto *action = new QAction(label, parent);
    if (!symbol.isEmpty()) {
        action->setIcon(KivUtilities::Symbols::icon(symbol));
        action->setProperty(KivUtilities::Symbols::propertyName, symbol);
    }
    return action;
}

QAction *aboutButton(bool includeImage, std::function<void()> openAbout, QObject *parent)
{
    QAction *action = makeAction(text("About %1").arg(QCoreApplication::applicationName()),
                                 includeImage ? QStringLiteral("info.circle") : QString(), parent);
    QObject::connect(action, &QAction::triggered, action, [openAbout] {
        if (openAbout)
            openAbout();
    });
    return action;
}

QAction *newsletterButton(QObject *parent)
{
    return linkButton(text("Join Newsletter"), QStringLiteral("envelope.fill"),
                      KivUtilities::MakerURL::newsletter, parent);
}

QAction *getMoreAppsButton(QObject *parent)
{
    return linkButton(text("Get More Apps"), QStringLiteral("plus.app.fill"), KivUtilities::MakerURL::apps,
                      parent);
}

QAction *sendFeedbackButton(QObject *parent)
{
    return linkButton(text("Send Feedback"), QStringLiteral("bubble.left.fill"),
                      KivUtilities::MakerURL::contact, parent);
}

QAction *openSettingsButton(std::function<void()> openSettings, QObject *parent)
{
    QAction *action = makeAction(text("Settings"), QStringLiteral("gearshape.fill"), parent);
    // Several desktops define no standard settings shortcut; the common Ctrl+, stands in there.
    const QList<QKeySequence> standard = QKeySequence::keyBindings(QKeySequence::Preferences);
    action->setShortcuts(standard.isEmpty() ? QList<QKeySequence> {QKeySequence(Qt::CTRL | Qt::Key_Comma)}
                                            : standard);
    QObject::connect(action, &QAction::triggered, action, [openSettings] {
        if (openSettings)
            openSettings();
    });
    return action;
}

QAction *quitButton(bool includeImage, QObject *parent)
{
    QAction *action =
        makeAction(text("Quit"), includeImage ? QStringLiteral("xmark.circle") : QString(), parent);
    // Where the desktop defines no quit shortcut, the common Ctrl+Q stands in.
    const QList<QKeySequence> standard = QKeySequence::keyBindings(QKeySequence::Quit);
    action->setShortcuts(standard.isEmpty() ? QList<QKeySequence> {QKeySequence(Qt::CTRL | Qt::Key_Q)}
                                            : standard);
    QObject::connect(action, &QAction::triggered, QCoreApplication::instance(), &QCoreApplication::quit,
                     Qt::QueuedConnection);
    return action;
}

} // namespace KivApp::AppMenuButtons
