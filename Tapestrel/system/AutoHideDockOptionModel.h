#pragma once

#include "Tapestrel/system/DockPreferenceToggleOptionModel.h"

#include <QCoreApplication>

// The option "system.desktop.dock.autoHide": whether the Dock hides itself until the pointer reaches its
// edge.
class AutoHideDockOptionModel : public DockPreferenceToggleOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.dock.autoHide"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Dock"), QStringLiteral("Auto Hide Dock")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

    QString property() const override { return QStringLiteral("autohide"); }
    QString toggleTitle() const override
    {
        return QCoreApplication::translate("SystemOptions", "Auto Hide Dock");
    }
};
