#pragma once

#include <QPointer>

class QAction;
class QObject;

namespace KivWhatsNew {

class WhatsNewController;

// The "What's New?" menu item (symbol "newspaper" when includeImage is true): opens the newest
// release notes. It holds the controller weakly and does nothing once it is gone.
QAction *whatsNewButton(QPointer<WhatsNewController> controller, bool includeImage, QObject *parent);

} // namespace KivWhatsNew
