#include "Tapestrel/Registries.h"

#include "Tapestrel/apps/alfred/AlfredAppConfig.h"
#include "Tapestrel/apps/alfred/AlfredThemeOptionModel.h"
#include "Tapestrel/apps/bear/BearAppConfig.h"
#include "Tapestrel/apps/bear/BearThemeOptionModel.h"
#include "Tapestrel/apps/corvella/CorvellaAppConfig.h"
#include "Tapestrel/apps/corvella/CorvellaThemeOptionModel.h"
#include "Tapestrel/apps/forklift/ForkLiftThemeOptionModel.h"
#include "Tapestrel/apps/forklift/ForkliftAppConfig.h"
#include "Tapestrel/apps/iterm/ITermAppConfig.h"
#include "Tapestrel/apps/iterm/ITermThemeOptionModel.h"
#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "Tapestrel/apps/lumapad/LumapadShowBackgroundOptionModel.h"
#include "Tapestrel/apps/lumapad/LumapadThemeOptionModel.h"
#include "Tapestrel/apps/noteplan/NotePlanAppConfig.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeOptionModel.h"
#include "Tapestrel/apps/obsidian/ObsidianAccentColorOptionModel.h"
#include "Tapestrel/apps/obsidian/ObsidianAppConfig.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"
#include "Tapestrel/apps/terminal/DefaultTerminalThemeOptionModel.h"
#include "Tapestrel/apps/terminal/StartupTerminalThemeOptionModel.h"
#include "Tapestrel/apps/terminal/TerminalAppConfig.h"
#include "Tapestrel/apps/vscode/VSCodeAppConfig.h"
#include "Tapestrel/apps/vscode/VSCodeThemeOptionModel.h"
#include "Tapestrel/apps/xcode/XcodeAppConfig.h"
#include "Tapestrel/apps/xcode/XcodeThemeOptionModel.h"
#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/system/AccentColorOptionModel.h"
#include "Tapestrel/system/AppearanceOptionModel.h"
#include "Tapestrel/system/AutoHideDockOptionModel.h"
#include "Tapestrel/system/AutoHideMenuBarOptionModel.h"
#include "Tapestrel/system/DockMagnificationOptionModel.h"
#include "Tapestrel/system/DockPositionOptionModel.h"
#include "Tapestrel/system/DockSizeOptionModel.h"
#include "Tapestrel/system/EnableStageManagerOptionModel.h"
#include "Tapestrel/system/FolderColorOptionModel.h"
#include "Tapestrel/system/IconAndWidgetStyleOptionModel.h"
#include "Tapestrel/system/LiquidGlassStyleOptionModel.h"
#include "Tapestrel/system/ShowIconsOptionModel.h"
#include "Tapestrel/system/ShowWidgetsOptionModel.h"

Registries::Registries()
    : m_appConfigStore(makeAppConfigs())
    , m_optionStore([this] { return makeOptionModels(m_appConfigStore); })
{ }

std::vector<std::unique_ptr<AppConfig>> Registries::makeAppConfigs()
{
    std::vector<std::unique_ptr<AppConfig>> configs;
    configs.push_back(std::make_unique<AlfredAppConfig>());
    configs.push_back(std::make_unique<BearAppConfig>());
    configs.push_back(std::make_unique<CorvellaAppConfig>());
    configs.push_back(std::make_unique<ForkliftAppConfig>());
    configs.push_back(std::make_unique<ITermAppConfig>());
    configs.push_back(std::make_unique<NotePlanAppConfig>());
    configs.push_back(std::make_unique<ObsidianAppConfig>());
    configs.push_back(std::make_unique<VSCodeAppConfig>());
    configs.push_back(std::make_unique<LumapadAppConfig>());
    configs.push_back(std::make_unique<XcodeAppConfig>());
    configs.push_back(std::make_unique<TerminalAppConfig>());
    return configs;
}

std::vector<std::unique_ptr<OptionModel>> Registries::makeOptionModels(const AppConfigStore &configs)
{
    auto *terminal = configs.requireConfig<TerminalAppConfig>();
    auto *lumapad = configs.requireConfig<LumapadAppConfig>();
    auto *obsidian = configs.requireConfig<ObsidianAppConfig>();

    std::vector<std::unique_ptr<OptionModel>> models;
    models.push_back(std::make_unique<AppearanceOptionModel>());
    models.push_back(std::make_unique<LiquidGlassStyleOptionModel>());
    models.push_back(std::make_unique<BackgroundOptionModel>());
    models.push_back(std::make_unique<AccentColorOptionModel>());
    models.push_back(
        std::make_unique<FolderColorOptionModel>(QStringLiteral("AppleIconAppearanceTintColor"),
                                                 QStringLiteral("AppleIconAppearanceCustomTintColor")));
    models.push_back(std::make_unique<IconAndWidgetStyleOptionModel>());
    models.push_back(std::make_unique<DockMagnificationOptionModel>());
    models.push_back(std::make_unique<DockPositionOptionModel>());
    models.push_back(std::make_unique<DockSizeOptionModel>());
    models.push_back(std::make_unique<AutoHideDockOptionModel>());
    models.push_back(std::make_unique<AutoHideMenuBarOptionModel>());
    models.push_back(std::make_unique<EnableStageManagerOptionModel>());
    models.push_back(std::make_unique<ShowIconsOptionModel>());
    models.push_back(std::make_unique<ShowWidgetsOptionModel>());
    models.push_back(std::make_unique<XcodeThemeOptionModel>(configs.requireConfig<XcodeAppConfig>()));
    models.push_back(std::make_unique<DefaultTerminalThemeOptionModel>(
        terminal, QStringLiteral("Default Window Settings")));
    models.push_back(std::make_unique<StartupTerminalThemeOptionModel>(
        terminal, QStringLiteral("Startup Window Settings")));
    models.push_back(std::make_unique<ITermThemeOptionModel>(configs.requireConfig<ITermAppConfig>(),
                                                             QStringLiteral("com.googlecode.iterm2")));
    models.push_back(std::make_unique<CorvellaThemeOptionModel>(configs.requireConfig<CorvellaAppConfig>()));
    models.push_back(std::make_unique<LumapadThemeOptionModel>(lumapad));
    models.push_back(std::make_unique<LumapadShowBackgroundOptionModel>(lumapad, true));
    models.push_back(std::make_unique<ForkLiftThemeOptionModel>(configs.requireConfig<ForkliftAppConfig>()));
    models.push_back(std::make_unique<AlfredThemeOptionModel>(configs.requireConfig<AlfredAppConfig>()));
    models.push_back(std::make_unique<ObsidianThemeOptionModel>(obsidian));
    models.push_back(std::make_unique<ObsidianAccentColorOptionModel>(obsidian));
    models.push_back(std::make_unique<VSCodeThemeOptionModel>(configs.requireConfig<VSCodeAppConfig>()));
    models.push_back(std::make_unique<BearThemeOptionModel>(configs.requireConfig<BearAppConfig>(),
                                                            QStringLiteral("net.shinyfrog.bear")));
    models.push_back(std::make_unique<NotePlanThemeOptionModel>(configs.requireConfig<NotePlanAppConfig>()));
    return models;
}
