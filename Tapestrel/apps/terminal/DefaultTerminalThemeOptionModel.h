#pragma once

#include "Tapestrel/apps/terminal/TerminalThemeOptionModel.h"

// The option "com.apple.Terminal.DefaultTheme": Terminal's default profile ("Default Window
// Settings").
class DefaultTerminalThemeOptionModel : public TerminalThemeOptionModel
{
public:
    DefaultTerminalThemeOptionModel(TerminalAppConfig *config, QString defaultsKey);

    static QString optionKey() { return QStringLiteral("com.apple.Terminal.DefaultTheme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Tools"), QStringLiteral("Terminal"), QStringLiteral("Default Theme")};
    }

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
};
