#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.ui.appearance". Applying and reading are not part of the program yet: see the base
// class.
class AppearanceOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.ui.appearance"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"), QStringLiteral("Appearance")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
