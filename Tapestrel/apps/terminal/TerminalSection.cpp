#include "Tapestrel/apps/terminal/TerminalSection.h"

#include "Tapestrel/apps/terminal/DefaultTerminalThemeOptionModel.h"
#include "Tapestrel/apps/terminal/StartupTerminalThemeOptionModel.h"
#include "Tapestrel/apps/terminal/TerminalAppConfig.h"

TerminalSection::TerminalSection(Profile *profile, const TerminalAppConfig *config,
                                 SynchronizedOptionsStore *store, QWidget *parent)
    : AppSection(
        tr("Terminal"), tr("Terminal needs to be restarted to apply the changes"), profile, config,
        rows({DefaultTerminalThemeOptionModel::optionKey(), StartupTerminalThemeOptionModel::optionKey()},
             profile, store),
        {}, {}, parent)
{
    setObjectName(QStringLiteral("TerminalSection"));
}

QWidget *TerminalAppConfig::makeSection(Profile *profile, SynchronizedOptionsStore *store, QWidget *parent)
{
    return new TerminalSection(profile, this, store, parent);
}
