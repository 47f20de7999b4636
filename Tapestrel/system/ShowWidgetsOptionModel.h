#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.ui.desktop.ShowWidgets". Applying and reading are not part of the program yet: see the
// base class.
class ShowWidgetsOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.ui.desktop.ShowWidgets"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Desktop"), QStringLiteral("Show Widgets")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
