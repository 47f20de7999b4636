#include "Tapestrel/apps/terminal/DefaultTerminalThemeOptionModel.h"

DefaultTerminalThemeOptionModel::DefaultTerminalThemeOptionModel(TerminalAppConfig *config,
                                                                 QString defaultsKey)
    : m_config(config)
    , m_defaultsKey(std::move(defaultsKey))
{ }
