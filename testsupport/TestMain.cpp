#include <QApplication>
#include <QtGlobal>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // Widget tests run without a display unless a test asks for a real one (the x11 label).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No test reaches the desktop it runs on (its settings, wallpaper and portal), not even one that
    // forgets its emulated home: tests that act on a desktop choose a stand-in for it themselves.
    qunsetenv("XDG_CURRENT_DESKTOP");
    qputenv("GSETTINGS_BACKEND", "memory");
    ::testing::InitGoogleMock(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tapestrel"));
    QApplication::setOrganizationDomain(QStringLiteral("quorvane.com"));
    return RUN_ALL_TESTS();
}
