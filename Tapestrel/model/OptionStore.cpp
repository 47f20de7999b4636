#include "Tapestrel/model/OptionStore.h"

#include "Tapestrel/Tapestrel.h"

#include "Tapestrel/apps/alfred/AlfredThemeOptionModel.h"
#include "Tapestrel/apps/bear/BearThemeOptionModel.h"
#include "Tapestrel/apps/corvella/CorvellaThemeOptionModel.h"
#include "Tapestrel/apps/forklift/ForkLiftThemeOptionModel.h"
#include "Tapestrel/apps/iterm/ITermThemeOptionModel.h"
#include "Tapestrel/apps/lumapad/LumapadShowBackgroundOptionModel.h"
#include "Tapestrel/apps/lumapad/LumapadThemeOptionModel.h"
#include "Tapestrel/apps/noteplan/NotePlanThemeOptionModel.h"
#include "Tapestrel/apps/obsidian/ObsidianAccentColorOptionModel.h"
#include "Tapestrel/apps/obsidian/ObsidianThemeOptionModel.h"
#include "Tapestrel/apps/terminal/DefaultTerminalThemeOptionModel.h"
#include "Tapestrel/apps/terminal/StartupTerminalThemeOptionModel.h"
#include "Tapestrel/apps/vscode/VSCodeThemeOptionModel.h"
#include "Tapestrel/apps/xcode/XcodeThemeOptionModel.h"
#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/model/AppConfigStore.h"
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

#include <QtGlobal>

#include <typeinfo>

namespace {

template<typename T> T *requireConfig(AppConfigStore *configs)
{
    T *config = configs->config<T>();
    if (!config)
        qFatal("The application records lack %s", typeid(T).name());
    return config;
}

} // namespace

OptionStore::OptionStore(AppConfigStore *configs)
    : m_factory([configs] { return makeRegisteredModels(configs); })
{ }

OptionStore::OptionStore(Factory factory)
    : m_factory(std::move(factory))
{ }

OptionStore::~OptionStore() = default;

namespace {
OptionStore *g_sharedOverride = nullptr;
}

OptionStore &OptionStore::shared()
{
    if (g_sharedOverride)
        return *g_sharedOverride;
    // The main controller's application records; it is made now if nothing asked for it yet.
    static OptionStore store(&Tapestrel::shared().appConfigStore());
    return store;
}

void OptionStore::setShared(OptionStore *store)
{
    g_sharedOverride = store;
}

const QList<OptionModel *> &OptionStore::options()
{
    if (!m_built) {
        m_built = true;
        m_owned = m_factory();
        for (const auto &model : m_owned)
            m_options.append(model.get());
    }
    return m_options;
}

OptionModel *OptionStore::model(const QString &key)
{
    for (OptionModel *model : options()) {
        if (model->key() == key)
            return model;
    }
    return nullptr;
}

std::vector<std::unique_ptr<OptionModel>> OptionStore::makeRegisteredModels(AppConfigStore *configs)
{
    auto *terminal = requireConfig<TerminalAppConfig>(configs);
    auto *lumapad = requireConfig<LumapadAppConfig>(configs);
    auto *obsidian = requireConfig<ObsidianAppConfig>(configs);

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
    models.push_back(std::make_unique<XcodeThemeOptionModel>(requireConfig<XcodeAppConfig>(configs)));
    models.push_back(std::make_unique<DefaultTerminalThemeOptionModel>(
        terminal, QStringLiteral("Default Window Settings")));
    models.push_back(std::make_unique<StartupTerminalThemeOptionModel>(
        terminal, QStringLiteral("Startup Window Settings")));
    models.push_back(std::make_unique<ITermThemeOptionModel>(requireConfig<ITermAppConfig>(configs),
                                                             QStringLiteral("com.googlecode.iterm2")));
    models.push_back(std::make_unique<CorvellaThemeOptionModel>(requireConfig<CorvellaAppConfig>(configs)));
    models.push_back(std::make_unique<LumapadThemeOptionModel>(lumapad));
    models.push_back(std::make_unique<LumapadShowBackgroundOptionModel>(lumapad, true));
    models.push_back(std::make_unique<ForkLiftThemeOptionModel>(requireConfig<ForkliftAppConfig>(configs)));
    models.push_back(std::make_unique<AlfredThemeOptionModel>(requireConfig<AlfredAppConfig>(configs)));
    models.push_back(std::make_unique<ObsidianThemeOptionModel>(obsidian));
    models.push_back(std::make_unique<ObsidianAccentColorOptionModel>(obsidian));
    models.push_back(std::make_unique<VSCodeThemeOptionModel>(requireConfig<VSCodeAppConfig>(configs)));
    models.push_back(std::make_unique<BearThemeOptionModel>(requireConfig<BearAppConfig>(configs),
                                                            QStringLiteral("net.shinyfrog.bear")));
    models.push_back(std::make_unique<NotePlanThemeOptionModel>(requireConfig<NotePlanAppConfig>(configs)));
    return models;
}
