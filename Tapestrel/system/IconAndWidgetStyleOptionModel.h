#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.desktop.iconAndWidgetStyle". Applying and reading are not part of the program yet: see
// the base class.
class IconAndWidgetStyleOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.iconAndWidgetStyle"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Appearance"),
                QStringLiteral("Icon and Widget Style")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
