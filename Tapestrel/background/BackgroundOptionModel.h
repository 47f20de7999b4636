#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.desktop.background.picture". Applying and reading are not part of the program yet: see
// the base class.
class BackgroundOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.background.picture"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Background")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
