#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.desktop.liquidGlassStyle". Applying and reading are not part of the program yet: see the
// base class.
class LiquidGlassStyleOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.liquidGlassStyle"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"), QStringLiteral("Liquid Glass")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
