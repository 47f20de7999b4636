#pragma once

#include "Tapestrel/apps/frame/AppDefaults.h"
#include "Tapestrel/apps/frame/ThemeFileStore.h"
#include "Tapestrel/apps/frame/ThemeLookup.h"
#include "Tapestrel/apps/frame/ThemePicker.h"
#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

#include <memory>

// The rows of a theme-file store's picker: "Built-in Themes" over the application's files and "User
// Themes" over the user's, each row showing a theme's name and carrying its value.
template<typename Store> ThemePicker::Sections fileThemeSections(const Store *store)
{
    return [store] {
        ThemePicker::Section builtIn {ThemePicker::builtInHeader(), {}};
        for (const auto &theme : store->appThemes())
            builtIn.rows.append({theme.name, theme.path});
        ThemePicker::Section user {ThemePicker::userHeader(), {}};
        for (const auto &theme : store->userThemes())
            user.rows.append({theme.name, theme.path});
        return QList<ThemePicker::Section> {builtIn, user};
    };
}

// The theme option of an application whose themes are files and whose edition in use keeps the chosen
// theme under its "theme" default, the same for both appearances. Applying writes any non-empty value
// as it stands (a file that has gone away included); "Don't set" leaves the application alone.
// Nothing is posted and nothing relaunched.
template<typename Store, typename Config, typename Picker>
class ThemeFileOptionModel
    : public OptionModel
    , public ThemeContainer
{
public:
    static inline const QString themeKey = QStringLiteral("theme");

    explicit ThemeFileOptionModel(Config *config)
        : m_config(config)
    { }

    Config *config() const { return m_config; }

    // The one store that every picker of the option shows, made and loaded on first use; each picker
    // reads both folders again whenever it comes on screen.
    Store *sharedStore()
    {
        if (!m_store) {
            m_store = std::make_unique<Store>(m_config);
            m_store->reload();
        }
        return m_store.get();
    }

    QWidget *makePicker(Option *option, Profile *, QWidget *parent) override
    {
        return new Picker(option, sharedStore(), parent);
    }

    QCoro::Task<void> apply(QString value, QPointer<Profile>, std::shared_ptr<bool>) override
    {
        const std::optional<QString> edition = m_config->currentBundleID();
        if (!edition || value.isEmpty())
            co_return;
        co_await AppDefaults::write(arguments(QStringLiteral("write"), *edition, value));
    }

    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile>) override
    {
        const std::optional<QString> edition = m_config->currentBundleID();
        if (!edition)
            co_return std::nullopt;
        co_return co_await AppDefaults::run(arguments(QStringLiteral("read"), *edition));
    }

    // Looked up in a store of its own, so it sees the files as they are now.
    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override
    {
        const QString value = optionValue(profile, key());
        Store store(m_config);
        store.reload();
        return themeInfoIn(
            store, m_config->appName(), [&value](const auto &theme) { return theme.path == value; },
            [](const auto &theme) { return theme.name; });
    }

    QWidget *accessoryView(QWidget *parent) override
    {
        return GetMoreThemesButtonBuilder::build(m_config, parent);
    }

private:
    // Built outside the co_await expressions: QStringLiteral is a lambda, which g++ 12 miscompiles there.
    static QStringList arguments(const QString &verb, const QString &edition,
                                 const std::optional<QString> &value = {})
    {
        QStringList list {verb, edition, themeKey, QStringLiteral("-string")};
        if (value)
            list.append(*value);
        return list;
    }

    Config *m_config;
    std::unique_ptr<Store> m_store;
};
