#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.dock.size". Applying and reading are not part of the program yet: see the base class.
class DockSizeOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.dock.size"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Dock"), QStringLiteral("Size")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
