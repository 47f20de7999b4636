#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.desktop.dock.autoHide". Applying and reading are not part of the program yet: see the
// base class.
class AutoHideDockOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.dock.autoHide"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Dock"), QStringLiteral("Auto Hide Dock")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
