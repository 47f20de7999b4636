#include "Tapestrel/ui/switcher/MoreMenu.h"

#include "KivUtilities/Symbols.h"

#include <QAction>

MoreMenu::MoreMenu(const Items &items, QWidget *parent)
    : QMenu(tr("More"), parent)
{
    setObjectName(QStringLiteral("MoreMenu"));
    setIcon(KivUtilities::Symbols::icon(QStringLiteral("ellipsis.circle")));
    const QList<QList<QAction *>> sections = {
        {items.settings},
        {items.about, items.whatsNew, items.checkForUpdates},
        {items.sendFeedback, items.getMoreApps, items.newsletter},
        {items.quit},
    };
    for (const QList<QAction *> &section : sections) {
        bool opened = false;
        for (QAction *action : section) {
            if (!action)
                continue;
            if (!opened && !actions().isEmpty())
                addSeparator();
            opened = true;
            addAction(action);
        }
    }
}
