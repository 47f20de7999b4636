#pragma once

#include "Tapestrel/system/DockPreferenceToggleOptionModel.h"

#include <QCoreApplication>

// The option "system.misc.autoHideMenuBar": whether the menu bar hides itself until the pointer reaches the
// top of the screen.
class AutoHideMenuBarOptionModel : public DockPreferenceToggleOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.misc.autoHideMenuBar"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Misc"), QStringLiteral("Auto Hide Menu Bar")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QString property() const override { return QStringLiteral("autohide menu bar"); }
    QString toggleTitle() const override
    {
        return QCoreApplication::translate("SystemOptions", "Auto Hide Menu Bar");
    }
};
