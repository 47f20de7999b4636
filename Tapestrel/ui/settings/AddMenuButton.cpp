#include "Tapestrel/ui/settings/AddMenuButton.h"

#include "KivUtilities/Symbols.h"

#include <QCoreApplication>
#include <QMenu>
#include <QToolButton>

QToolButton *makeAddMenuButton(QMenu **menu)
{
    auto *button = new QToolButton;
    button->setText(QCoreApplication::translate("AddMenuButton", "Add"));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    KivUtilities::Symbols::apply(button, QStringLiteral("plus"));
    *menu = new QMenu(button);
    button->setMenu(*menu);
    button->setPopupMode(QToolButton::InstantPopup);
    button->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0; }"));
    return button;
}

QString menuItemText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
