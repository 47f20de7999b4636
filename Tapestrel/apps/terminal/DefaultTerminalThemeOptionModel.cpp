#include "Tapestrel/apps/terminal/DefaultTerminalThemeOptionModel.h"

#include <QCoreApplication>

DefaultTerminalThemeOptionModel::DefaultTerminalThemeOptionModel(TerminalAppConfig *config,
                                                                 QString defaultsKey)
    : TerminalThemeOptionModel(config, std::move(defaultsKey),
                               QCoreApplication::translate("TerminalSection", "Default Theme"),
                               QStringLiteral("Terminal (default theme)"))
{ }
