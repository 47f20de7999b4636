#include "Tapestrel/apps/bear/BearThemeOptionModel.h"

BearThemeOptionModel::BearThemeOptionModel(BearAppConfig *config, QString domain)
    : m_config(config)
    , m_domain(std::move(domain))
{ }
