#include "Tapestrel/apps/iterm/ITermAppConfig.h"
#include "Tapestrel/system/DockIconVisibilityController.h"
#include "Tapestrel/system/EnvironmentInfo.h"
#include "Tapestrel/system/IconFinder.h"
#include "Tapestrel/system/StringSuffix.h"

#include "platform/UserDefaults.h"

#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QApplication>
#include <QBuffer>
#include <QWidget>

#include <gtest/gtest.h>

using Platform::ActivationPolicy;
using Platform::UserDefaults;
using TestSupport::runTask;

namespace {

using EnvironmentTest = TestSupport::TempHomeTest;

TEST_F(EnvironmentTest, DarkModeIsExactlyTheTextDark)
{
    EnvironmentInfo &info = EnvironmentInfo::shared();
    EXPECT_FALSE(info.isDarkMode());
    UserDefaults::global().setValue("AppleInterfaceStyle", "Dark");
    EXPECT_TRUE(info.isDarkMode());
    for (const char *other : {"dark", "DARK", "Light", ""}) {
        UserDefaults::global().setValue("AppleInterfaceStyle", other);
        EXPECT_FALSE(info.isDarkMode()) << other;
    }
    UserDefaults::global().setValue("AppleInterfaceStyle", true);
    EXPECT_FALSE(info.isDarkMode());
}

TEST_F(EnvironmentTest, RemovingSuffixTakesOneEnding)
{
    EXPECT_EQ(removingSuffix("/Applications/", "/"), "/Applications");
    EXPECT_EQ(removingSuffix("/Applications//", "/"), "/Applications/");
    EXPECT_EQ(removingSuffix("/Applications", "/"), "/Applications");
    EXPECT_EQ(removingSuffix("theme.json", ".json"), "theme");
    EXPECT_EQ(removingSuffix("abc", ""), "abc");
    EXPECT_EQ(removingSuffix("", "/"), "");
    EXPECT_EQ(removingSuffix("/", "/"), "");
}

QPixmap filled(int edge, Qt::GlobalColor color)
{
    QPixmap pixmap(edge, edge);
    pixmap.fill(color);
    return pixmap;
}

TEST_F(EnvironmentTest, IconsOfInstalledEditionsAtTheRequestedSize)
{
    // An icon with its own 32-point picture uses it; other sizes draw the largest picture scaled.
    QIcon icon;
    icon.addPixmap(filled(32, Qt::blue));
    icon.addPixmap(filled(64, Qt::red));
    QImage image = IconFinder::resizedImage(icon, QSize(32, 32));
    EXPECT_EQ(image.size(), QSize(32, 32));
    EXPECT_EQ(image.pixelColor(16, 16), QColor(Qt::blue));
    image = IconFinder::resizedImage(icon, QSize(20, 20));
    EXPECT_EQ(image.size(), QSize(20, 20));
    EXPECT_EQ(image.pixelColor(10, 10), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(0, 0), QColor(Qt::red)); // the whole image is covered
    EXPECT_EQ(IconFinder::resizedImage(QIcon(), QSize(8, 8)).size(), QSize(8, 8));

    ITermAppConfig iterm;
    EXPECT_EQ(runTask(IconFinder::icon(iterm, 32)), std::nullopt); // no edition installed

    home.writeFile("Applications/iTerm.app/Contents/Info.plist",
                   "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                   "<key>CFBundleIdentifier</key><string>com.googlecode.iterm2</string>"
                   "<key>CFBundleIconFile</key><string>AppIcon</string></dict></plist>");
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    filled(128, Qt::green).save(&buffer, "PNG");
    home.writeFile("Applications/iTerm.app/Contents/Resources/AppIcon.png", png);

    const std::optional<QImage> found = runTask(IconFinder::icon(iterm, 48));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->size(), QSize(48, 48));
    EXPECT_EQ(found->pixelColor(24, 24), QColor(Qt::green));
}

class RecordingPresentation : public ApplicationPresentation
{
public:
    ActivationPolicy activationPolicy() const override { return policy; }
    void setActivationPolicy(ActivationPolicy wanted) override
    {
        policy = wanted;
        sets.append(wanted);
    }
    ActivationPolicy policy = ActivationPolicy::Regular;
    QList<ActivationPolicy> sets;
};

TEST_F(EnvironmentTest, DockIconFollowsTheSettingWhileRunning)
{
    RecordingPresentation presentation;
    {
        DockIconVisibilityController controller(presentation);
        EXPECT_EQ(controller.lastValue(), true); // on unless set
        EXPECT_TRUE(presentation.sets.isEmpty()); // already regular: not set again

        UserDefaults::standard().setValue("showDockIcon", false);
        EXPECT_EQ(presentation.sets, QList<ActivationPolicy> {ActivationPolicy::Accessory});
        UserDefaults::standard().setValue("activeEditorTab", "apps"); // unrelated
        UserDefaults::standard().setValue("showDockIcon", false);
        EXPECT_EQ(presentation.sets.size(), 1);

        UserDefaults::standard().setValue("showDockIcon", true);
        EXPECT_EQ(presentation.sets,
                  (QList<ActivationPolicy> {ActivationPolicy::Accessory, ActivationPolicy::Regular}));

        // A policy someone else already set is left alone.
        presentation.policy = ActivationPolicy::Accessory;
        UserDefaults::standard().setValue("showDockIcon", false);
        EXPECT_EQ(presentation.sets.size(), 2);
    }
    // A controller made while the setting is off applies it at once; a destroyed one stops observing.
    presentation.policy = ActivationPolicy::Regular;
    {
        DockIconVisibilityController controller(presentation);
        EXPECT_EQ(presentation.sets.size(), 3);
        EXPECT_EQ(presentation.policy, ActivationPolicy::Accessory);
    }
    UserDefaults::standard().setValue("showDockIcon", true);
    EXPECT_EQ(presentation.sets.size(), 3);
}

TEST_F(EnvironmentTest, AccessoryProgramWindowsLeaveTheTaskBar)
{
    QWidget before;
    before.show();
    auto policyWindow = [](const QWidget &window) {
        return window.windowType() == Qt::Tool;
    };
    {
        UserDefaults::standard().setValue("showDockIcon", false);
        DockIconVisibilityController controller;
        EXPECT_TRUE(policyWindow(before));
        EXPECT_TRUE(before.isVisible());

        QWidget later;
        later.show();
        EXPECT_TRUE(policyWindow(later));

        UserDefaults::standard().setValue("showDockIcon", true);
        EXPECT_FALSE(policyWindow(before));
        EXPECT_FALSE(policyWindow(later));
        EXPECT_TRUE(before.isVisible());
    }
    EXPECT_EQ(ApplicationPresentation::application().activationPolicy(), ActivationPolicy::Regular);
}

} // namespace
