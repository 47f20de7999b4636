#pragma once

#include <QPointer>

class QAction;
class QObject;

class KivUpdates;

// The "Check for Updates..." menu item (symbol "arrow.triangle.2.circlepath" when includeImage is
// true): a check that reports its result. It holds the updates object weakly and does nothing once
// it is gone; it is always enabled.
QAction *checkForUpdatesButton(QPointer<KivUpdates> updates, bool includeImage, QObject *parent);
