#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.misc.autoHideMenuBar". Applying and reading are not part of the program yet: see the
// base class.
class AutoHideMenuBarOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.misc.autoHideMenuBar"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Misc"), QStringLiteral("Auto Hide Menu Bar")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
