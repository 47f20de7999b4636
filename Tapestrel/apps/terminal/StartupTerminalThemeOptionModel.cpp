#include "Tapestrel/apps/terminal/StartupTerminalThemeOptionModel.h"

#include <QCoreApplication>

StartupTerminalThemeOptionModel::StartupTerminalThemeOptionModel(TerminalAppConfig *config,
                                                                 QString defaultsKey)
    : TerminalThemeOptionModel(config, std::move(defaultsKey),
                               QCoreApplication::translate("TerminalSection", "Startup Theme"),
                               QStringLiteral("Terminal (startup theme)"))
{ }
