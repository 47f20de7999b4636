#pragma once

#include "Tapestrel/system/DesktopItemsOptionModel.h"

#include <QCoreApplication>

// The option "system.ui.desktop.ShowIcons": whether the desktop shows its icons.
class ShowIconsOptionModel : public DesktopItemsOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.ui.desktop.ShowIcons"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Desktop"), QStringLiteral("Show Icons")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

protected:
    QString stageManagerHideKey() const override { return QStringLiteral("HideDesktop"); }
    QString standardHideKey() const override { return QStringLiteral("StandardHideDesktopIcons"); }
    QString toggleTitle() const override
    {
        return QCoreApplication::translate("SystemOptions", "Show Icons");
    }
};
