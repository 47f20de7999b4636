#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/background/BackgroundsICloudCoordinator.h"
#include "Tapestrel/backup/PredefinedProfileController.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

#include "KivDesktopBackground/Background.h"
#include "platform/UserDefaults.h"
#include "testsupport/RunTask.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

using KivDesktopBackground::Background;

class PredefinedProfileTest : public TestSupport::TempHomeTest
{
protected:
    QString folder = home.filePath("Library/Application Support/com.quorvane.Tapestrel/backgrounds");
    std::unique_ptr<ModelContainer> container =
        std::make_unique<ModelContainer>(home.filePath("data.sqlite"));

    QList<Profile *> storedProfiles()
    {
        m_reader = container->makeContext();
        return m_reader->fetchProfiles();
    }

private:
    std::unique_ptr<ModelContext> m_reader;
};

} // namespace

TEST_F(PredefinedProfileTest, FirstStartCopiesThePicturesAndAddsTheProfilesOnce)
{
    PredefinedProfileController controller(container->mainContext(), folder);
    controller.importIfNeeded();

    EXPECT_TRUE(Platform::UserDefaults::standard().boolean("didImportPredefinedThemes"));
    for (const QString &name : PredefinedProfileController::pictureNames) {
        const QString path = folder + "/" + name + ".jpg";
        QFile copy(path);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << path.toStdString();
        EXPECT_LT(copy.size(), 1024 * 1024);
        EXPECT_TRUE(copy.permissions() & QFileDevice::WriteOwner);
        const QImage picture(path);
        EXPECT_GE(picture.width(), 1920);
        EXPECT_GE(picture.height(), 1080);
    }

    const QList<Profile *> profiles = storedProfiles();
    ASSERT_GE(profiles.size(), 5);
    QSet<QString> uuids;
    QSet<QString> pictures;
    const QRegularExpression upperUuid("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$");
    for (const Profile *profile : profiles) {
        EXPECT_TRUE(upperUuid.match(profile->uuid()).hasMatch()) << profile->uuid().toStdString();
        EXPECT_FALSE(profile->uuid().startsWith("1F6A3C52")) << "kept the shipped identity";
        uuids.insert(profile->uuid());
        EXPECT_FALSE(profile->name().isEmpty());
        const auto background = Background::fromRawValue(profile->value("system.desktop.background.picture"));
        ASSERT_TRUE(background) << profile->name().toStdString();
        ASSERT_EQ(background->kind(), Background::Kind::image);
        EXPECT_TRUE(QFileInfo::exists(background->url().toLocalFile()));
        EXPECT_EQ(QFileInfo(background->url().toLocalFile()).absolutePath(), QDir(folder).absolutePath());
        pictures.insert(background->url().fileName());
    }
    EXPECT_EQ(uuids.size(), profiles.size());
    EXPECT_EQ(pictures.size(), 8) << "every shipped picture is used";

    // A second start adds nothing and brings back a deleted picture, leaving the user's others alone.
    ASSERT_TRUE(QFile::remove(folder + "/tapestrel3.jpg"));
    {
        QFile edited(folder + "/tapestrel4.jpg");
        ASSERT_TRUE(edited.open(QIODevice::WriteOnly | QIODevice::Truncate));
        edited.write("edited by the user");
    }
    PredefinedProfileController later(container->mainContext(), folder);
    later.importIfNeeded();
    EXPECT_EQ(storedProfiles().size(), profiles.size());
    EXPECT_TRUE(QFileInfo::exists(folder + "/tapestrel3.jpg"));
    EXPECT_EQ(home.readFile("Library/Application Support/com.quorvane.Tapestrel/backgrounds/tapestrel4.jpg"),
              "edited by the user");
}

TEST_F(PredefinedProfileTest, ListsOnlyTheShippedPicturesWhateverTheirLetterCase)
{
    QDir().mkpath(folder);
    home.writeFile("Library/Application Support/com.quorvane.Tapestrel/backgrounds/OTHER.jpg", "x");
    home.writeFile("Library/Application Support/com.quorvane.Tapestrel/backgrounds/tapestrel1.png", "x");
    PredefinedProfileController controller(container->mainContext(), folder);
    // The user renamed one copy: the capital letters still count, and the lower-case one comes back.
    controller.importIfNeeded();
    QFile::rename(folder + "/tapestrel1.jpg", folder + "/TAPESTREL1.JPG");
    QStringList names;
    for (const QUrl &url : controller.predefinedImages())
        names.append(url.fileName());
    names.sort();
    EXPECT_EQ(names,
              QStringList({"TAPESTREL1.JPG", "tapestrel-dark.jpg", "tapestrel1.jpg", "tapestrel2.jpg",
                           "tapestrel3.jpg", "tapestrel4.jpg", "tapestrel5.jpg", "tapestrel6.jpg",
                           "tapestrel7.jpg"}));
}

TEST_F(PredefinedProfileTest, ImportWithoutAStoreOrWithBadDataIsMarkedDoneAndAddsNothing)
{
    {
        QPointer<ModelContext> gone;
        PredefinedProfileController controller(gone, folder);
        controller.importIfNeeded();
    }
    EXPECT_TRUE(Platform::UserDefaults::standard().boolean("didImportPredefinedThemes"));
    EXPECT_TRUE(QFileInfo::exists(folder + "/tapestrel-dark.jpg"));
    PredefinedProfileController controller(container->mainContext(), folder);
    controller.importIfNeeded();
    EXPECT_TRUE(storedProfiles().isEmpty());

    EXPECT_TRUE(PredefinedProfileController::profilesFromJson("not json", folder).empty());
    EXPECT_TRUE(PredefinedProfileController::profilesFromJson(R"({"uuid":"A"})", folder).empty());
    EXPECT_TRUE(
        PredefinedProfileController::profilesFromJson(R"([{"uuid":"A","name":"B"}])", folder).empty());

    // Only a background option that names a file is rewritten; none is added where there was none.
    const auto profiles = PredefinedProfileController::profilesFromJson(
        R"([{"uuid":"A","name":"Plain","options":[{"key":"system.ui.appearance","value":"dark"}]},
            {"uuid":"B","name":"Empty","options":[{"key":"system.desktop.background.picture","value":""}]},
            {"uuid":"C","name":"Escape","options":[{"key":"system.desktop.background.picture","value":"../../x.jpg"}]},
            {"uuid":"D","name":"Fine","options":[{"key":"system.desktop.background.picture","value":"tapestrel2.jpg","isEnabled":false}]}])",
        folder);
    ASSERT_EQ(profiles.size(), 4u);
    EXPECT_EQ(profiles[0]->option("system.desktop.background.picture"), nullptr);
    EXPECT_EQ(profiles[1]->value("system.desktop.background.picture"), "");
    EXPECT_EQ(profiles[2]->value("system.desktop.background.picture"), "../../x.jpg");
    const auto fine = Background::fromRawValue(profiles[3]->value("system.desktop.background.picture"));
    ASSERT_TRUE(fine);
    EXPECT_EQ(fine->url(), QUrl::fromLocalFile(folder + "/tapestrel2.jpg"));
    EXPECT_FALSE(profiles[3]->option("system.desktop.background.picture")->isEnabled());
    for (const auto &profile : profiles)
        EXPECT_EQ(profile->uuid().size(), 36);
}

TEST_F(PredefinedProfileTest, TheMainControllerImportsThemOnceAtStartUp)
{
    qsizetype imported = 0;
    {
        Tapestrel main;
        EXPECT_TRUE(TestSupport::waitUntil(
            [&] { return main.modelContainer().mainContext()->fetchProfiles().size() >= 5; }));
        imported = main.modelContainer().mainContext()->fetchProfiles().size();
        EXPECT_TRUE(
            QFileInfo::exists(main.backgroundsCoordinator().wallpapersFolderPath() + "/tapestrel7.jpg"));
    }
    Tapestrel restarted;
    TestSupport::spinEventLoop(std::chrono::milliseconds(50));
    EXPECT_EQ(restarted.modelContainer().mainContext()->fetchProfiles().size(), imported);
}
