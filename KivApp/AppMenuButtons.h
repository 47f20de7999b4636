#pragma once

#include <functional>

class QAction;
class QObject;
class QString;

namespace KivApp {

// Ready-made menu items of the application kit.
namespace AppMenuButtons {
// A menu item with a text and, unless the name is empty, a symbol (kept in the "symbol" property).
QAction *makeAction(const QString &label, const QString &symbol, QObject *parent);
// "About <name>", with the "info.circle" symbol when includeImage is true.
QAction *aboutButton(bool includeImage, std::function<void()> openAbout, QObject *parent);
// "Join Newsletter", "Get More Apps", "Send Feedback": the maker's pages in the browser.
QAction *newsletterButton(QObject *parent);
QAction *getMoreAppsButton(QObject *parent);
QAction *sendFeedbackButton(QObject *parent);
// "Settings" with the platform's shortcut: opens the settings window.
QAction *openSettingsButton(std::function<void()> openSettings, QObject *parent);
// "Quit" with the platform's shortcut, and the "xmark.circle" symbol when includeImage is true;
// quitting goes through the application's checks.
QAction *quitButton(bool includeImage, QObject *parent);
} // namespace AppMenuButtons

} // namespace KivApp
