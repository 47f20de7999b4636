#include "platform/XfceDesktop.h"

#include "testsupport/CapturedStandardError.h"
#include "testsupport/StandInTools.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using Platform::DesktopError;
using Platform::XfceDesktop;
using Backdrop = XfceDesktop::Backdrop;

namespace {

const QString tool = QStringLiteral("xfconf-query");

// Backdrops that all show "/a.png" already.
QByteArray listingOf(int backdrops)
{
    QByteArray listing;
    for (int i = 0; i < backdrops; ++i) {
        const QByteArray path = "/backdrop/screen0/monitorDP-1/workspace" + QByteArray::number(i);
        listing += path + "/image-style  5\n" + path + "/last-image  /a.png\n";
    }
    return listing;
}

} // namespace

TEST(XfceDesktop, TheListingGivesEachMonitorsWorkspacesWithTheValuesThatStandPlain)
{
    const QByteArray listing = "/backdrop/screen0/monitor0/image-path              /old/4.10.png\n"
                               "/backdrop/screen0/monitorDP-1/workspace0/color-style  0\n"
                               "/backdrop/screen0/monitorDP-1/workspace0/image-style  5\n"
                               "/backdrop/screen0/monitorDP-1/workspace0/last-image   /home/me/Sea View.jpg\n"
                               "/backdrop/screen0/monitorDP-1/workspace1/last-image   \n"
                               "/backdrop/screen0/monitorDP-1/workspace1/note         one\n"
                               "/backdrop/screen0/monitorDP-1/workspace9/last-image   /a.png\n"
                               "the second line of a value\n"
                               "/backdrop/screen0/monitorHDMI-1/workspace0/image-style  0\n"
                               "/backdrop/screen0/monitorHDMI-1/workspace0/image-style  0\n"
                               "/backdrop/screen1/monitorHDMI-1/workspace0/last-image\n"
                               "/backdrop/single-workspace-mode                    true\n"
                               "/desktop-icons/style                               2\n"
                               "\xff\xfe garbage \x01\n";
    EXPECT_EQ(XfceDesktop::backdrops(listing),
              (QList<Backdrop> {
                  {"/backdrop/screen0/monitorDP-1/workspace0", "/home/me/Sea View.jpg", "5"},
                  {"/backdrop/screen0/monitorDP-1/workspace1", "", std::nullopt},
                  {"/backdrop/screen0/monitorDP-1/workspace9", "/a.png", std::nullopt},
                  {"/backdrop/screen0/monitorHDMI-1/workspace0", std::nullopt, std::nullopt},
                  {"/backdrop/screen1/monitorHDMI-1/workspace0", "", std::nullopt},
              }));
}

// xfconf-query as a stand-in that lists what the test gives and records every change.
TEST(XfceDesktop, APictureGoesToEveryListedBackdropThatDoesNotShowItAndNothingElseIsSet)
{
    QTemporaryDir folder;
    TestSupport::StandInTools tools;
    const QString listing = folder.filePath("listing");
    ASSERT_TRUE(tools.add(tool, 0, "[ \"$3\" = -l ] && /bin/cat '" + listing + "'"));
    const auto lists = [&](const QByteArray &text) {
        QFile file(listing);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size();
    };
    const auto changes = [&] {
        QList<QStringList> made = tools.calls(tool);
        made.removeAll(QStringList {"-c", "xfce4-desktop", "-l", "-v"});
        return made;
    };
    XfceDesktop xfce(std::chrono::milliseconds(2000));

    ASSERT_TRUE(lists("/backdrop/screen0/monitorDP-1/workspace0/image-style  5\n"
                      "/backdrop/screen0/monitorDP-1/workspace0/last-image   /p/Sea.png\n"
                      "/backdrop/screen0/monitorDP-1/workspace1/image-style  1\n"
                      "/backdrop/screen0/monitorDP-1/workspace1/last-image   /p/Old.png\n"));
    EXPECT_TRUE(xfce.setPicture("/p/Sea.png"));
    EXPECT_EQ(changes(),
              (QList<QStringList> {
                  {"-c", "xfce4-desktop", "-p", "/backdrop/screen0/monitorDP-1/workspace1/last-image", "-n",
                   "-t", "string", "-s", "/p/Sea.png"},
                  {"-c", "xfce4-desktop", "-p", "/backdrop/screen0/monitorDP-1/workspace1/image-style", "-n",
                   "-t", "int", "-s", "5"},
              }));

    // Nothing listed (xfdesktop never ran), or more than any desktop has: nothing is set.
    for (const QByteArray &refused : {QByteArray(), listingOf(XfceDesktop::mostBackdrops + 1)}) {
        ASSERT_TRUE(lists(refused));
        EXPECT_THROW(xfce.setPicture("/p/Lake.png"), DesktopError);
        EXPECT_EQ(changes().size(), 2);
    }
    ASSERT_TRUE(lists(listingOf(XfceDesktop::mostBackdrops)));
    EXPECT_TRUE(xfce.setPicture("/a.png"));
    EXPECT_EQ(changes().size(), 2);

    // The desktop's settings are not changed by the program for the appearance and the accent.
    TestSupport::CapturedStandardError standardError;
    EXPECT_FALSE(xfce.setDarkMode(true));
    EXPECT_FALSE(xfce.setDarkMode(false));
    EXPECT_FALSE(xfce.setAccentColor("red"));
    EXPECT_EQ(standardError.text().count("emulated home"), 2) << standardError.text().toStdString();
    EXPECT_EQ(changes().size(), 2);
}
