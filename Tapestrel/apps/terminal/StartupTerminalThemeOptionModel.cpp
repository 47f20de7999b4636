#include "Tapestrel/apps/terminal/StartupTerminalThemeOptionModel.h"

StartupTerminalThemeOptionModel::StartupTerminalThemeOptionModel(TerminalAppConfig *config,
                                                                 QString defaultsKey)
    : m_config(config)
    , m_defaultsKey(std::move(defaultsKey))
{ }
