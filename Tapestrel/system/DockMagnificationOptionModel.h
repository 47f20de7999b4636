#pragma once

#include "Tapestrel/model/PendingOptionModel.h"

// The option "system.desktop.dock.enableMagnification". Applying and reading are not part of the program yet:
// see the base class.
class DockMagnificationOptionModel : public PendingOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.desktop.dock.enableMagnification"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Dock"), QStringLiteral("Dock Magnification")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
