#include "Tapestrel/apps/obsidian/ObsidianAccentColorOptionModel.h"

ObsidianAccentColorOptionModel::ObsidianAccentColorOptionModel(ObsidianAppConfig *config)
    : m_config(config)
{ }
