#pragma once

#include "Tapestrel/apps/iterm/ITermAppConfig.h"
#include "Tapestrel/apps/iterm/ITermThemeStore.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/ThemeContainer.h"

#include <QVariantList>
#include <QVariantMap>

#include <memory>

// The option "tools.iterm.theme": the name of a colour preset whose entries go into iTerm2's default
// profile for the appearance of the moment. iTerm2 keeps its profiles in memory and writes them back
// when it quits, so a change needs it relaunched; the user is asked first.
class ITermThemeOptionModel
    : public OptionModel
    , public ThemeContainer
{
public:
    ITermThemeOptionModel(ITermAppConfig *config, QString bundleID);
    ~ITermThemeOptionModel() override;

    static QString optionKey() { return QStringLiteral("tools.iterm.theme"); }
    static QStringList optionDisplayPath()
    {
        return {QStringLiteral("Tools"), QStringLiteral("iTerm"), QStringLiteral("Theme")};
    }
    static inline const QString bookmarksKey = QStringLiteral("New Bookmarks");
    static inline const QString defaultBookmarkKey = QStringLiteral("Default Bookmark Guid");

    QString key() const override { return optionKey(); }
    QStringList displayPath() const override { return optionDisplayPath(); }
    QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) override;
    // Throws ITermThemeError when iTerm2 has no default profile, the preset is unknown, or iTerm2 was
    // to be relaunched but did not quit in time.
    QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                            std::shared_ptr<bool> needsDockRestart) override;
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) override;
    QWidget *accessoryView(QWidget *parent) override;
    // Looked up by name in a store of its own, so it sees iTerm2's presets as they are now.
    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override;

    ITermAppConfig *config() const { return m_config; }
    QString bundleID() const { return m_bundleID; }
    // The presets as they were when the model was made, with the custom ones read again before
    // every apply and read.
    ITermThemeStore *themeStore() const { return m_themeStore.get(); }

    // iTerm2's profiles; nothing when the list is missing, not a list, or holds anything but
    // dictionaries.
    std::optional<QVariantList> bookmarks() const;
    // The profile that "Default Bookmark Guid" names; nothing when there is none.
    QCoro::Task<std::optional<QVariantMap>> defaultBookmark() const;
    // Stores the profile in place of the default profile and writes "New Bookmarks" whole, and
    // nothing else. Writes nothing, and throws ITermThemeError, when the list or the default profile
    // cannot be found again; throws DefaultsWriteError when the list cannot be written.
    void writeThemeColors(const QVariantMap &profile) const;

private:
    QStringList guidArguments() const;
    // The default profile in the list as it is now, which `list` receives; runs the tool and waits.
    std::optional<QVariantMap> findDefaultBookmark(std::optional<QVariantList> &list,
                                                   qsizetype *index = nullptr) const;
    static std::optional<QVariantMap> bookmarkWithGuid(const std::optional<QVariantList> &bookmarks,
                                                       const std::optional<QString> &guid,
                                                       qsizetype *index = nullptr);

    ITermAppConfig *m_config;
    QString m_bundleID;
    std::unique_ptr<ITermThemeStore> m_themeStore;
    // Work handed to the relaunch flow checks that the model still exists.
    std::shared_ptr<int> m_lifetime = std::make_shared<int>(0);
};

// The errors of applying an iTerm2 preset; they carry the program's error domain and code 1.
class ITermThemeError : public OptionModelError
{
public:
    using OptionModelError::OptionModelError;
    static constexpr int code = 1;

    static ITermThemeError cannotReadDefaultProfile();
    static ITermThemeError cannotFindTheme();
    static ITermThemeError didNotQuit();
};
