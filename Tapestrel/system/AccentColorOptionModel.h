#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.ui.accentColor". Applying and reading are not part of the program yet: see the base
// class.
class AccentColorOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.ui.accentColor"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"), QStringLiteral("Theme Color")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
