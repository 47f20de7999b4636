#include "Tapestrel/tests/ui/UiFixture.h"

#include "KivUtilities/ToastController.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/ui/themelist/GenerateThemeListButton.h"
#include "Tapestrel/ui/themelist/ThemeListExporter.h"
#include "platform/NotificationCenter.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMenu>

#include <gtest/gtest.h>

namespace {

// A theme option whose stored value is "<theme>" or "<theme>|builtin".
class FakeThemeModel
    : public EngineTests::RecordingOptionModel
    , public ThemeContainer
{
public:
    FakeThemeModel(QString key, QString application)
        : RecordingOptionModel(std::move(key), std::make_shared<EngineTests::Journal>())
        , m_application(std::move(application))
    { }

    std::optional<ThemeInfo> themeInfo(const Profile *profile) const override
    {
        const QString value = profile->value(key());
        if (value.isEmpty())
            return std::nullopt;
        const bool builtIn = value.endsWith(QStringLiteral("|builtin"));
        return ThemeInfo {m_application, builtIn ? value.chopped(8) : value, builtIn};
    }

private:
    QString m_application;
};

class ThemeListTest : public UiTests::UiTest
{
protected:
    // A plain option between the theme options: it never gives a line.
    OptionStore themes {[] {
        std::vector<std::unique_ptr<OptionModel>> made;
        made.push_back(std::make_unique<FakeThemeModel>("dt.Xcode.theme", "Xcode"));
        made.push_back(std::make_unique<EngineTests::RecordingOptionModel>(
            "system.ui.appearance", std::make_shared<EngineTests::Journal>()));
        made.push_back(std::make_unique<FakeThemeModel>("tools.iterm.theme", "iTerm2"));
        made.push_back(std::make_unique<FakeThemeModel>("apps.bear.theme", "Bear"));
        return made;
    }};

    QString exported(Profile *profile, const ThemeListExporter &exporter)
    {
        return exporter.exportList(ThemeListGenerator(profile, &themes));
    }
};

TEST_F(ThemeListTest, LinesFollowTheRegistryInBothFormats)
{
    Profile *profile = newProfile("Night");
    profile->findOrCreateOption("apps.bear.theme")->setValue("Dracula");
    profile->findOrCreateOption("system.ui.appearance")->setValue("dark");
    profile->findOrCreateOption("dt.Xcode.theme")->setValue("Midnight|builtin");

    EXPECT_EQ(ThemeListGenerator(profile, &themes).generate(),
              QList<ThemeInfo>({{"Xcode", "Midnight", true}, {"Bear", "Dracula", false}}));
    EXPECT_EQ(exported(profile, PlainTextThemeListExporter()), "Xcode: Midnight (built in)\nBear: Dracula");
    EXPECT_EQ(exported(profile, MarkdownThemeListExporter()),
              "**Xcode:** Midnight (built in)\n**Bear:** Dracula");

    // Nothing set, or the profile gone: the empty text.
    Profile *empty = newProfile("Plain");
    EXPECT_EQ(exported(empty, PlainTextThemeListExporter()), "");
    EXPECT_EQ(exported(empty, MarkdownThemeListExporter()), "");
    ThemeListGenerator orphan(profile, &themes);
    delete profile;
    EXPECT_TRUE(orphan.generate().isEmpty());
}

TEST_F(ThemeListTest, CopyingPutsTheCurrentListOnTheClipboardAndSaysCopied)
{
    Profile *profile = newProfile("Night");
    profile->findOrCreateOption("tools.iterm.theme")->setValue("Solarized");

    std::unique_ptr<QMenu> menu(GenerateThemeListButton::make(profile, nullptr, &themes));
    EXPECT_TRUE(menu->isEnabled());
    EXPECT_EQ(entries(menu.get()), QStringList({"Plain Text", "Markdown"}));

    QList<QVariantMap> toasts;
    QObject::connect(&Platform::NotificationCenter::defaultCenter(), &Platform::NotificationCenter::posted,
                     menu.get(), [&](const QString &name, const QVariantMap &info) {
                         if (name == KivUtilities::ToastController::notificationName)
                             toasts.append(info);
                     });

    // Taken when clicked: a change after the menu was made is in the text.
    profile->findOrCreateOption("dt.Xcode.theme")->setValue("Default (Light)|builtin");
    menu->actions()[1]->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(),
              "**Xcode:** Default (Light) (built in)\n**iTerm2:** Solarized");
    menu->actions()[0]->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "Xcode: Default (Light) (built in)\niTerm2: Solarized");
    ASSERT_EQ(toasts.size(), 2);
    EXPECT_EQ(toasts[0].value("message").value<KivUtilities::LocalizedStringKey>().key, "Copied");

    // A profile that sets no theme still replaces the clipboard and says so.
    std::unique_ptr<QMenu> plain(GenerateThemeListButton::make(newProfile("Plain"), nullptr, &themes));
    plain->actions()[0]->trigger();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), "");
    EXPECT_EQ(toasts.size(), 3);

    // Without one profile the submenu is disabled.
    std::unique_ptr<QMenu> none(GenerateThemeListButton::make(nullptr, nullptr, &themes));
    EXPECT_FALSE(none->isEnabled());
}

} // namespace
