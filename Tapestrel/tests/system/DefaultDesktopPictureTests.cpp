#include "Tapestrel/system/DefaultDesktopPicture.h"

#include "platform/ScriptHost.h"
#include "platform/UserDefaults.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <gtest/gtest.h>

namespace {

using DefaultDesktopPictureTest = TestSupport::TempHomeTest;

QVariant recordedPicture()
{
    return Platform::UserDefaults::suite(QStringLiteral("com.apple.desktop"))
        ->value(QStringLiteral("Background"));
}

} // namespace

TEST_F(DefaultDesktopPictureTest, AFreshDesktopGetsThePictureOnce)
{
    const QString source = home.filePath("Shipped/Sky.png");
    QDir().mkpath(QFileInfo(source).absolutePath());
    QImage image(32, 18, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    ASSERT_TRUE(image.save(source));
    const QString installed = home.path() + "/System/Library/Desktop Pictures/Sky.png";
    EXPECT_EQ(DefaultDesktopPicture::path("Sky.png"), installed);
    ASSERT_TRUE(DefaultDesktopPicture::installIfMissing(source));
    EXPECT_EQ(QImage(installed).pixel(0, 0), image.pixel(0, 0));
    // Where the desktop keeps its picture, as the system's scripting reads it.
    const Platform::ScriptResult picture = Platform::ScriptHost::shared().execute(QStringLiteral(
        "tell application \"System Events\"\n    tell first desktop to get picture\nend tell"));
    EXPECT_EQ(picture.value.stringValue(), installed);

    // Once there, a picture (or one the system cannot name) is the user's and stays.
    EXPECT_FALSE(DefaultDesktopPicture::installIfMissing(source));
    const QVariantMap dynamic {{QStringLiteral("default"), QVariantMap {}}};
    Platform::UserDefaults::suite(QStringLiteral("com.apple.desktop"))
        ->setValue(QStringLiteral("Background"), dynamic);
    EXPECT_FALSE(DefaultDesktopPicture::installIfMissing(source));
    EXPECT_EQ(recordedPicture(), QVariant(dynamic));
}
