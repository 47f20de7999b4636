#include "Tapestrel/apps/xcode/XcodeThemeOptionModel.h"

XcodeThemeOptionModel::XcodeThemeOptionModel(XcodeAppConfig *config)
    : m_config(config)
{ }
