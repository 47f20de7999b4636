#pragma once

#include "Tapestrel/apps/terminal/TerminalAppConfig.h"
#include "Tapestrel/model/PendingOptionModel.h"

// The option "com.apple.Terminal.DefaultTheme". Applying and reading are not part of the program yet: see the
// base class.
class DefaultTerminalThemeOptionModel : public PendingThemeOptionModel
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

    TerminalAppConfig *config() const { return m_config; }
    QString defaultsKey() const { return m_defaultsKey; }

private:
    TerminalAppConfig *m_config;
    QString m_defaultsKey;
};
