#pragma once

#include "Tapestrel/apps/terminal/TerminalThemeOptionModel.h"

// The option "com.apple.Terminal.StartupTheme": Terminal's start-up profile ("Startup Window
// Settings").
class StartupTerminalThemeOptionModel : public TerminalThemeOptionModel
{
public:
    StartupTerminalThemeOptionModel(TerminalAppConfig *config, QString defaultsKey);

    static QString optionKey() { return QStringLiteral("com.apple.Terminal.StartupTheme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Tools"), QStringLiteral("Terminal"), QStringLiteral("Startup Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
