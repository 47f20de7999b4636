#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.dock.position". Applying and reading are not part of the program yet: see the base
// class.
class DockPositionOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.dock.position"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Dock"), QStringLiteral("Position")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
