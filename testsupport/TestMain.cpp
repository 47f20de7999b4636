#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtGlobal>

#include <xcb/xcb.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// The tests' X server (Xvfb) now and then drops a connection that it takes while it is still seeing
// to another client's end, such as the program of the test that ran just before it, when a busy
// machine keeps the server behind; Qt would then end the test at once ("could not connect to
// display"). This waits until the server takes a connection and answers on it, which it does only
// once it is past what came before. The connection is kept for the life of the process: ending it
// would be such an end again, just as the test starts its programs.
xcb_connection_t *displayThatAnswers()
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        xcb_connection_t *connection = xcb_connect(nullptr, nullptr);
        if (!xcb_connection_has_error(connection)) {
            if (void *reply =
                    xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr)) {
                std::free(reply);
                return connection;
            }
        }
        xcb_disconnect(connection);
        QThread::msleep(50);
    }
    return nullptr;
}

} // namespace

int main(int argc, char **argv)
{
    // Widget tests run without a display unless a test asks for a real one (the x11 label).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // No test reaches the desktop it runs on (its settings, wallpaper and portal), not even one that
    // forgets its emulated home: tests that act on a desktop choose a stand-in for it themselves.
    qunsetenv("XDG_CURRENT_DESKTOP");
    qputenv("GSETTINGS_BACKEND", "memory");
    // Nor the user's home: the programs the tests start (decoding processes among them) read the fonts
    // below it and bring their cache up to date. Tests that need a home of their own set one.
    const QTemporaryDir home;
    if (!home.isValid())
        return 2;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral(".local/share"))));
    qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral(".cache"))));
    ::testing::InitGoogleMock(&argc, argv);
    if (qgetenv("QT_QPA_PLATFORM") == "xcb")
        displayThatAnswers();
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tapestrel"));
    QApplication::setOrganizationDomain(QStringLiteral("quorvane.com"));
    return RUN_ALL_TESTS();
}
