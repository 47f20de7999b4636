#pragma once

#include "Tapestrel/system/DesktopItemsOptionModel.h"

#include <QCoreApplication>

// The option "system.ui.desktop.ShowWidgets": whether the desktop shows its widgets.
class ShowWidgetsOptionModel : public DesktopItemsOptionModel
{
public:
    static QString optionKey() { return QStringLiteral("system.ui.desktop.ShowWidgets"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("System"), QStringLiteral("Desktop"), QStringLiteral("Show Widgets")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }

protected:
    QString stageManagerHideKey() const override { return QStringLiteral("StageManagerHideWidgets"); }
    QString standardHideKey() const override { return QStringLiteral("StandardHideWidgets"); }
    QString toggleTitle() const override
    {
        return QCoreApplication::translate("SystemOptions", "Show Widgets");
    }
};
