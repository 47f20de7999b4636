#include "Tapestrel/system/DefaultDesktopPicture.h"

#include "platform/ScriptHost.h"
#include "platform/UserDefaults.h"
#include "testsupport/TempHome.h"

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

TEST_F(DefaultDesktopPictureTest, AFreshDesktopGetsTheFirstShippedPictureOnce)
{
    EXPECT_TRUE(DefaultDesktopPicture::path().startsWith(home.path() + "/System/Library/Desktop Pictures/"));
    ASSERT_TRUE(DefaultDesktopPicture::installIfMissing());
    EXPECT_FALSE(QImage(DefaultDesktopPicture::path()).isNull());
    // Where the desktop keeps its picture, as the system's scripting reads it.
    const Platform::ScriptResult picture = Platform::ScriptHost::shared().execute(QStringLiteral(
        "tell application \"System Events\"\n    tell first desktop to get picture\nend tell"));
    EXPECT_EQ(picture.value.stringValue(), DefaultDesktopPicture::path());

    // Once there, a picture (or one the system cannot name) is the user's and stays.
    EXPECT_FALSE(DefaultDesktopPicture::installIfMissing());
    const QVariantMap dynamic {{QStringLiteral("default"), QVariantMap {}}};
    Platform::UserDefaults::suite(QStringLiteral("com.apple.desktop"))
        ->setValue(QStringLiteral("Background"), dynamic);
    EXPECT_FALSE(DefaultDesktopPicture::installIfMissing());
    EXPECT_EQ(recordedPicture(), QVariant(dynamic));
}
