#include "Tapestrel/ui/AppBundlePicker.h"
#include "Tapestrel/ui/settings/AppSettingsView.h"
#include "Tapestrel/widgets/AppIcon.h"

#include "KivUtilities/Symbols.h"
#include "Tapestrel/Registries.h"
#include "Tapestrel/apps/forklift/ForkliftAppConfig.h"
#include "Tapestrel/apps/lumapad/LumapadAppConfig.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"
#include "testsupport/TempHome.h"

#include <QBuffer>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

class AppSettingsTest : public TestSupport::TempHomeTest
{
protected:
    ~AppSettingsTest() override { Platform::Workspace::shared().setUrlOpener({}); }

    // Installs an edition; with a colour it gets an icon of that colour.
    void install(const QString &name, const QString &bundleID, std::optional<QColor> iconColor = std::nullopt)
    {
        QString plist =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
                           "<key>CFBundleIdentifier</key><string>%1</string>")
                .arg(bundleID);
        if (iconColor) {
            plist += QStringLiteral("<key>CFBundleIconFile</key><string>AppIcon</string>");
            QImage image(64, 64, QImage::Format_ARGB32);
            image.fill(*iconColor);
            QByteArray png;
            QBuffer buffer(&png);
            buffer.open(QIODevice::WriteOnly);
            image.save(&buffer, "PNG");
            home.writeFile("Applications/" + name + ".app/Contents/Resources/AppIcon.png", png);
        }
        home.writeFile("Applications/" + name + ".app/Contents/Info.plist",
                       (plist + "</dict></plist>").toUtf8());
    }
    QString appPath(const QString &name) const { return home.filePath("Applications/" + name + ".app"); }

    static QStringList items(const QComboBox *box)
    {
        QStringList texts;
        for (int index = 0; index < box->count(); ++index)
            texts.append(box->itemText(index));
        return texts;
    }

    // Shows the icon and waits for its lookup.
    static void load(AppIcon *icon)
    {
        bool loaded = false;
        const auto connection =
            QObject::connect(icon, &AppIcon::iconLoaded, icon, [&loaded] { loaded = true; });
        icon->reload();
        for (int tries = 0; !loaded && tries < 100; ++tries)
            TestSupport::spinEventLoop(10ms);
        QObject::disconnect(connection);
        ASSERT_TRUE(loaded);
    }

    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    Registries registries;
};

} // namespace

TEST_F(AppSettingsTest, OneRowPerApplicationWithEditionsInRegistryOrder)
{
    AppSettingsView page(registries.appConfigStore());
    page.content();
    QStringList names;
    for (AppBundlePicker *picker : page.pickers()) {
        names.append(picker->nameLabel()->text());
        // A fresh installation: nothing installed, nothing chosen.
        EXPECT_EQ(picker->state(), AppBundlePicker::State::notInstalled);
        EXPECT_EQ(picker->bundleID(), std::nullopt);
    }
    EXPECT_EQ(names, QStringList({"Corvella", "ForkLift", "NotePlan", "Lumapad"}));

    install("ForkLift", "com.binarynights.ForkLift");
    install("ForkLift Setapp", "com.binarynights.forklift-setapp");
    page.resize(600, 288);
    page.show();
    TestSupport::spinEventLoop(0ms);
    TestSupport::saveScreenshot(&page, "settings/apps");

    // Choosing in the menu writes "<config id>.bundleID" and nothing else.
    AppBundlePicker *forklift = page.pickers().at(1);
    ASSERT_EQ(forklift->state(), AppBundlePicker::State::choice);
    EXPECT_TRUE(forklift->picker()->isVisible());
    const QVariantMap before = defaults.persistentDomain();
    forklift->picker()->setCurrentIndex(1);
    emit forklift->picker()->activated(1);
    EXPECT_EQ(defaults.string("apps.forklift.bundleID"), "com.binarynights.forklift-setapp");
    QVariantMap expected = before;
    expected.insert("apps.forklift.bundleID", "com.binarynights.forklift-setapp");
    EXPECT_EQ(defaults.persistentDomain(), expected);
    EXPECT_EQ(page.appConfigStore().config<ForkliftAppConfig>()->currentBundleID(),
              "com.binarynights.forklift-setapp");
}

TEST_F(AppSettingsTest, PickerStatesFollowTheInstalledEditions)
{
    LumapadAppConfig lumapad;
    QStringList opened;
    Platform::Workspace::shared().setUrlOpener([&opened](const QUrl &url) {
        opened.append(url.toString());
        return false; // a browser that fails is not reported
    });

    // None installed: "Not Installed" and a link to the web site.
    AppBundlePicker picker(&lumapad);
    EXPECT_EQ(picker.state(), AppBundlePicker::State::notInstalled);
    ASSERT_NE(picker.notInstalledLabel(), nullptr);
    ASSERT_NE(picker.websiteButton(), nullptr);
    picker.websiteButton()->click();
    EXPECT_EQ(opened, QStringList({"https://quorvane.com/lumapad/"}));
    EXPECT_EQ(picker.picker(), nullptr);
    EXPECT_EQ(picker.pathLabel(), nullptr);

    // One installed: its path, no choice, even with a stored choice of another edition.
    install("Lumapad Setapp", "com.quorvane.Lumapad-setapp");
    defaults.setValue("apps.lumapad.bundleID", "com.quorvane.Lumapad");
    picker.refresh();
    EXPECT_EQ(picker.state(), AppBundlePicker::State::oneInstalled);
    ASSERT_NE(picker.pathLabel(), nullptr);
    EXPECT_EQ(picker.pathLabel()->text(), appPath("Lumapad Setapp"));
    EXPECT_EQ(picker.picker(), nullptr);
    EXPECT_EQ(picker.hintLabel(), nullptr);
    EXPECT_EQ(defaults.string("apps.lumapad.bundleID"), "com.quorvane.Lumapad");

    // Two installed and the stored edition is one of them: selected, no hint.
    install("Lumapad", "com.quorvane.Lumapad");
    picker.refresh();
    EXPECT_EQ(picker.state(), AppBundlePicker::State::choice);
    ASSERT_NE(picker.picker(), nullptr);
    EXPECT_EQ(items(picker.picker()), QStringList({appPath("Lumapad"), appPath("Lumapad Setapp")}));
    EXPECT_EQ(picker.picker()->currentIndex(), 0);
    EXPECT_EQ(picker.hintLabel(), nullptr);

    // A stored edition that is not installed: nothing selected, the hint names the edition used.
    install("Lumapad Direct", "com.quorvane.Lumapad-vandry");
    defaults.setValue("apps.lumapad.bundleID", "com.quorvane.Lumapad-beta");
    ASSERT_EQ(picker.state(), AppBundlePicker::State::choice); // followed the change of the key
    EXPECT_EQ(items(picker.picker()),
              QStringList({appPath("Lumapad"), appPath("Lumapad Direct"), appPath("Lumapad Setapp")}));
    EXPECT_EQ(picker.picker()->currentIndex(), -1);
    ASSERT_NE(picker.hintLabel(), nullptr);
    EXPECT_EQ(picker.hintLabel()->toolTip(), appPath("Lumapad"));

    // Choosing stores the identifier and the hint goes.
    picker.picker()->setCurrentIndex(2);
    emit picker.picker()->activated(2);
    EXPECT_EQ(defaults.string("apps.lumapad.bundleID"), "com.quorvane.Lumapad-setapp");
    EXPECT_EQ(picker.hintLabel(), nullptr);
    ASSERT_NE(picker.picker(), nullptr);
    EXPECT_EQ(picker.picker()->currentIndex(), 2);
    EXPECT_EQ(lumapad.currentBundleID(), "com.quorvane.Lumapad-setapp");
}

// Also runs at a scale of 2.
TEST_F(AppSettingsTest, IconOfTheEditionInUseOrTheFallbackSymbolAtAnyScale)
{
    ForkliftAppConfig forklift;
    AppIcon icon(&forklift, 24);
    load(&icon);
    EXPECT_EQ(icon.icon(), std::nullopt); // nothing installed: the symbol stays
    EXPECT_EQ(icon.property(KivUtilities::Symbols::propertyName).toString(), "questionmark.app.dashed");

    install("ForkLift", "com.binarynights.ForkLift", QColor(Qt::red));
    install("ForkLift Setapp", "com.binarynights.forklift-setapp", QColor(Qt::blue));
    load(&icon);
    ASSERT_TRUE(icon.icon());
    EXPECT_EQ(icon.icon()->size(), QSize(24, 24) * icon.devicePixelRatio()); // as sharp as the screen
    EXPECT_EQ(icon.pixmap().deviceIndependentSize(), QSizeF(24, 24));
    EXPECT_EQ(icon.icon()->pixelColor(12, 12), QColor(Qt::red)); // the first installed edition
    EXPECT_EQ(icon.property(KivUtilities::Symbols::propertyName).toString(), "");

    // The chosen edition's icon from the next load on.
    defaults.setValue("apps.forklift.bundleID", "com.binarynights.forklift-setapp");
    load(&icon);
    ASSERT_TRUE(icon.icon());
    EXPECT_EQ(icon.icon()->pixelColor(12, 12), QColor(Qt::blue));

    // A picker row reloads its icon when the choice changes.
    AppBundlePicker picker(&forklift);
    load(picker.icon());
    EXPECT_EQ(picker.icon()->icon()->pixelColor(12, 12), QColor(Qt::blue));
    bool reloaded = false;
    QObject::connect(picker.icon(), &AppIcon::iconLoaded, [&reloaded] { reloaded = true; });
    picker.setBundleID("com.binarynights.ForkLift");
    for (int tries = 0; !reloaded && tries < 100; ++tries)
        TestSupport::spinEventLoop(10ms);
    ASSERT_TRUE(picker.icon()->icon());
    EXPECT_EQ(picker.icon()->icon()->pixelColor(12, 12), QColor(Qt::red));
}
