#pragma once

#include <QString>

class QMenu;
class QToolButton;

// The "Add" button of the settings lists: "plus" and "Add", opening its menu at once, without the
// menu arrow. The caller fills the menu (when it is about to show, so it is always current).
QToolButton *makeAddMenuButton(QMenu **menu);

// A text for a menu item shown as it is: a "&" is no mnemonic.
QString menuItemText(QString text);
