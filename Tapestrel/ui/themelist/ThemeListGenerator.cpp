#include "ThemeListGenerator.h"

#include "Tapestrel/model/OptionStore.h"

ThemeListGenerator::ThemeListGenerator(Profile *profile, OptionStore *registry)
    : m_profile(profile)
    , m_registry(registry)
{ }

QList<ThemeInfo> ThemeListGenerator::generate() const
{
    QList<ThemeInfo> list;
    if (!m_profile)
        return list;
    OptionStore &registry = m_registry ? *m_registry : OptionStore::shared();
    for (OptionModel *model : registry.options()) {
        const auto *container = dynamic_cast<const ThemeContainer *>(model);
        if (!container)
            continue;
        if (std::optional<ThemeInfo> info = container->themeInfo(m_profile))
            list.append(*info);
    }
    return list;
}
