#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.ui.desktop.ShowIcons". Applying and reading are not part of the program yet: see the
// base class.
class ShowIconsOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.ui.desktop.ShowIcons"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Desktop"), QStringLiteral("Show Icons")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
