#include "Tapestrel/apps/forklift/ForkLiftThemeOptionModel.h"

ForkLiftThemeOptionModel::ForkLiftThemeOptionModel(ForkliftAppConfig *config)
    : m_config(config)
{ }
