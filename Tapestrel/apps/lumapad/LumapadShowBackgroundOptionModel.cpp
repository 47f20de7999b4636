#include "Tapestrel/apps/lumapad/LumapadShowBackgroundOptionModel.h"

LumapadShowBackgroundOptionModel::LumapadShowBackgroundOptionModel(LumapadAppConfig *config,
                                                                   bool defaultValue)
    : m_config(config)
    , m_defaultValue(defaultValue)
{ }
