#include "Tapestrel/apps/iterm/ITermThemeOptionModel.h"

#include "Tapestrel/apps/frame/ThemeLookup.h"
#include "Tapestrel/apps/iterm/ITermColorEntries.h"
#include "Tapestrel/apps/iterm/ITermThemePicker.h"
#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"
#include "Tapestrel/system/AppTerminator.h"
#include "Tapestrel/system/EnvironmentInfo.h"
#include "Tapestrel/system/SystemDefaultsManager.h"

#include "platform/UserDefaults.h"

#include <QCoreApplication>
#include <QtConcurrent>

#include <QCoro/QCoroFuture>

ITermThemeError ITermThemeError::cannotReadDefaultProfile()
{
    return ITermThemeError(
        ITermThemeOptionModel::optionKey(),
        QCoreApplication::translate("ITermThemeOptionModel", "Cannot read iTerm default profile"));
}

ITermThemeError ITermThemeError::cannotFindTheme()
{
    return ITermThemeError(
        ITermThemeOptionModel::optionKey(),
        QCoreApplication::translate("ITermThemeOptionModel", "Cannot find the given iTerm theme"));
}

ITermThemeError ITermThemeError::didNotQuit()
{
    return ITermThemeError(ITermThemeOptionModel::optionKey(),
                           QCoreApplication::translate("ITermThemeOptionModel",
                                                       "iTerm did not quit in time, so its theme was "
                                                       "not changed. Quit iTerm and try again."));
}

ITermThemeOptionModel::ITermThemeOptionModel(ITermAppConfig *config, QString bundleID)
    : m_config(config)
    , m_bundleID(std::move(bundleID))
    , m_themeStore(std::make_unique<ITermThemeStore>())
{ }

ITermThemeOptionModel::~ITermThemeOptionModel() = default;

QWidget *ITermThemeOptionModel::makePicker(Option *option, Profile *, QWidget *parent)
{
    return new ITermThemePicker(option, new ITermThemeStore(), parent);
}

QWidget *ITermThemeOptionModel::accessoryView(QWidget *parent)
{
    return GetMoreThemesButtonBuilder::build(m_config, parent);
}

std::optional<ThemeInfo> ITermThemeOptionModel::themeInfo(const Profile *profile) const
{
    const QString value = optionValue(profile, key());
    const ITermThemeStore store;
    return themeInfoIn(
        store, m_config->appName(), [&value](const ITermTheme &theme) { return theme.name == value; },
        [](const ITermTheme &theme) { return theme.name; });
}

std::optional<QVariantList> ITermThemeOptionModel::bookmarks() const
{
    Platform::UserDefaults *preferences = Platform::UserDefaults::suite(m_bundleID);
    if (!preferences)
        return std::nullopt;
    const QVariant stored = preferences->value(bookmarksKey);
    if (stored.typeId() != QMetaType::QVariantList)
        return std::nullopt;
    const QVariantList list = stored.toList();
    for (const QVariant &element : list) {
        if (element.typeId() != QMetaType::QVariantMap)
            return std::nullopt;
    }
    return list;
}

QStringList ITermThemeOptionModel::guidArguments() const
{
    return {QStringLiteral("read"), m_bundleID, defaultBookmarkKey, QStringLiteral("-string")};
}

std::optional<QVariantMap>
ITermThemeOptionModel::bookmarkWithGuid(const std::optional<QVariantList> &bookmarks,
                                        const std::optional<QString> &guid, qsizetype *index)
{
    if (!bookmarks || !guid)
        return std::nullopt;
    for (qsizetype i = 0; i < bookmarks->size(); ++i) {
        const QVariantMap bookmark = bookmarks->at(i).toMap();
        const QVariant stored = bookmark.value(QStringLiteral("Guid"));
        if (stored.typeId() == QMetaType::QString && stored.toString() == *guid) {
            if (index)
                *index = i;
            return bookmark;
        }
    }
    return std::nullopt;
}

std::optional<QVariantMap> ITermThemeOptionModel::findDefaultBookmark(std::optional<QVariantList> &list,
                                                                      qsizetype *index) const
{
    list = bookmarks();
    if (!list)
        return std::nullopt;
    return bookmarkWithGuid(list, SystemDefaultsManager().run(guidArguments()), index);
}

QCoro::Task<std::optional<QVariantMap>> ITermThemeOptionModel::defaultBookmark() const
{
    // The tool is waited for, and the domain may be in the middle of iTerm2's save: off this thread.
    co_return co_await QtConcurrent::run([this] {
        std::optional<QVariantList> list;
        return findDefaultBookmark(list);
    });
}

void ITermThemeOptionModel::writeThemeColors(const QVariantMap &profile) const
{
    // The relaunch flow runs this on a worker thread while iTerm2 is stopped. The list and the default
    // profile are read again: iTerm2 may have saved others on its way out.
    std::optional<QVariantList> list;
    qsizetype index = -1;
    if (!findDefaultBookmark(list, &index))
        throw ITermThemeError::cannotReadDefaultProfile();
    (*list)[index] = profile;
    SystemDefaultsManager().writeArray(m_bundleID, bookmarksKey, *list);
}

QCoro::Task<void> ITermThemeOptionModel::apply(QString value, QPointer<Profile>, std::shared_ptr<bool>)
{
    if (value.isEmpty())
        co_return;
    // The model outlives every apply: the registry holds it for the life of the program.
    std::optional<QVariantMap> profile = co_await defaultBookmark();
    if (!profile)
        throw ITermThemeError::cannotReadDefaultProfile();
    // Presets imported into iTerm2 since the program started apply at once.
    m_themeStore->reloadCustomThemes();
    const std::optional<ITermTheme> theme = m_themeStore->theme(value);
    if (!theme)
        throw ITermThemeError::cannotFindTheme();
    if (!ITermColorEntries::copy(theme->values, *profile, EnvironmentInfo::shared().isDarkMode()))
        co_return;

    const std::weak_ptr<int> lifetime = m_lifetime;
    const QVariantMap changed = *profile;
    // What the write throws comes back from the relaunch, once iTerm2 runs again.
    const AppTerminator::Work write = [this, lifetime, changed] {
        if (!lifetime.expired())
            writeThemeColors(changed);
    };
    const QString message = QCoreApplication::translate(
        "ITermThemeOptionModel",
        "To change iTerm theme, it needs to be re-launched. Do you want to continue?");
    const AppTerminator::Outcome outcome = co_await AppTerminator::relaunchApp(m_bundleID, message, write);
    if (outcome == AppTerminator::Outcome::DidNotExit)
        throw ITermThemeError::didNotQuit();
}

QCoro::Task<std::optional<QString>> ITermThemeOptionModel::readCurrentValue(QPointer<Profile>)
{
    const std::optional<QVariantMap> profile = co_await defaultBookmark();
    if (!profile)
        co_return std::nullopt;
    m_themeStore->reloadCustomThemes();
    const std::optional<ITermTheme> theme =
        m_themeStore->theme(*profile, EnvironmentInfo::shared().isDarkMode());
    if (!theme)
        co_return std::nullopt;
    co_return theme->name;
}
