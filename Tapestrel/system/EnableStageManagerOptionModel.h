#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.desktop.stageManager.enable". Applying and reading are not part of the program yet: see
// the base class.
class EnableStageManagerOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.stageManager.enable"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Desktop"), QStringLiteral("Enable Stage Manager")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
