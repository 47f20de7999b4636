#include "Tapestrel/ui/settings/AddMenuButton.h"

#include "KivApp/PullDownButton.h"
#include "KivUtilities/Symbols.h"

#include <QCoreApplication>
#include <QMenu>
#include <QToolButton>

QToolButton *makeAddMenuButton(QMenu **menu)
{
    auto *button = new KivApp::PullDownButton;
    button->setText(QCoreApplication::translate("AddMenuButton", "Add"));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    KivUtilities::Symbols::apply(button, QStringLiteral("plus"));
    *menu = new QMenu(button);
    button->setMenu(*menu);
    return button;
}

QString menuItemText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}
