#include "KivApp/ProgramEnd.h"
#include "KivDesktopBackground/DisplayPlatform.h"
#include "Tapestrel/Tapestrel.h"
#include "Tapestrel/automation/AutomationService.h"
#include "Tapestrel/automation/CommandLineClient.h"
#include "Tapestrel/automation/VisibleText.h"
#include "Tapestrel/backup/PredefinedProfileController.h"
#include "Tapestrel/model/ModelContainer.h"
#include "Tapestrel/system/DefaultDesktopPicture.h"
#include "Tapestrel/ui/AppInfo.h"
#include "Tapestrel/ui/StartupMarks.h"
#include "Tapestrel/ui/TapestrelApp.h"

#include "platform/AtomicFile.h"
#include "platform/Home.h"
#include "platform/SessionBusTypes.h"

#include <QApplication>
#include <QDBusConnection>
#include <QFile>
#include <QMutex>
#include <QStandardPaths>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

// What Qt says while the application object opens the display. Where it cannot, Qt's first message
// tells why (no display named, none answering, a plug-in missing) and the rest ends in an abort that
// asks to reinstall the program: the program says why in one line and exits with 1 instead, as the
// commands do. Where it can, the messages are passed on as they came.
class DisplayOpening
{
public:
    DisplayOpening() { s_previous = qInstallMessageHandler(&hold); }
    ~DisplayOpening()
    {
        qInstallMessageHandler(s_previous);
        const QMutexLocker locker(&s_mutex);
        for (const Message &message : std::as_const(s_held))
            qt_message_output(message.type,
                              QMessageLogContext(nullptr, 0, nullptr, message.category.constData()),
                              message.text);
        s_held.clear();
    }
    DisplayOpening(const DisplayOpening &) = delete;
    DisplayOpening &operator=(const DisplayOpening &) = delete;

private:
    struct Message
    {
        QtMsgType type;
        QByteArray category;
        QString text;
    };

    static void hold(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        const QMutexLocker locker(&s_mutex);
        if (type != QtFatalMsg) {
            s_held.append({type, QByteArray(context.category), text});
            return;
        }
        const QString line = s_held.isEmpty() ? QStringLiteral("Tapestrel could not open a display.")
                                              : QStringLiteral("Tapestrel could not open a display: %1")
                                                    .arg(visibleControls(s_held.first().text.trimmed()));
        std::fprintf(stderr, "tapestrel: %s\n", line.toLocal8Bit().constData());
        std::fflush(stderr);
        std::_Exit(1);
    }

    static inline QtMessageHandler s_previous = nullptr;
    static inline QMutex s_mutex;
    static inline QList<Message> s_held;
};

// Without XDG_RUNTIME_DIR the toolkit makes a runtime folder of its own when it first needs one, but its
// Wayland connection, and the libraries that follow the variable alone, each complain first (on a
// start without a display, before the one line that says why). The folder the toolkit would make is
// named in the variable before any of them starts.
void useRuntimeFolderFallback()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    // The toolkit's notice that it made the folder says what the variable now says: nobody needs it.
    // Its errors (a folder it could not make or that is someone else's) are passed on.
    static QtMessageHandler previous = nullptr;
    previous =
        qInstallMessageHandler([](QtMsgType type, const QMessageLogContext &context, const QString &text) {
            if (!text.startsWith(QLatin1String("QStandardPaths: XDG_RUNTIME_DIR not set")))
                previous(type, context, text);
        });
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    qInstallMessageHandler(previous);
    if (!folder.isEmpty())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
}

} // namespace

int main(int argc, char *argv[])
{
    StartupMarks::mark("main");
    // Before the command line or the program connects to the bus, whose thread starts at once.
    Platform::registerSessionBusTypes();
    // "tapestrel apply <id>", the other commands, "--help" and arguments that are not understood are
    // answered without starting the program.
    if (const std::optional<int> exitCode = CommandLineClient::run(argc, argv))
        return *exitCode;
    // Backgrounds need X11 desktop windows: under Wayland the program runs on XWayland when it can.
    KivDesktopBackground::chooseX11UnderWayland(argc, argv);
    useRuntimeFolderFallback();
    auto opening = std::make_unique<DisplayOpening>();
    QApplication application(argc, argv);
    opening.reset();
    StartupMarks::mark("QApplication");
    // A session's end, a shutdown or `kill` ends the program as Quit does, from here on, and so does
    // the display going away. Its quits are followed before the program's own filters are installed,
    // which see them first (and may refuse).
    KivApp::ProgramEnd end;
    end.followEveryEnd(QDBusConnection::sessionBus());
    // Before anything reads the preference domains: an exchange of one that a killed writer left half
    // done is finished, so that another program's save taken out of place is in place again.
    Platform::AtomicFile::finishInterruptedIn(Platform::Home::preferencesFolder());
    TapestrelApp::configure(application, AppInfo::buildVersion());
    // Before anything reads the desktop: a fresh home has the picture a fresh desktop shows.
    DefaultDesktopPicture::installIfMissing(
        PredefinedProfileController::pictureResource(PredefinedProfileController::pictureNames.first()));
    StartupMarks::mark("desktop picture");

    TapestrelApp app(Tapestrel::storePath(), []() -> ProgramServices & { return Tapestrel::shared(); });
    if (!app.start(QCoreApplication::arguments()))
        return 0;
    const auto automation = AutomationService::startForProgram(
        [] { return Tapestrel::shared().modelContainer().mainContext(); }, &app.selection());
    StartupMarks::mark("automation");
    // An end asked for during the start (a nested event loop ran it) takes its last step here.
    Tapestrel::shared().joinEnd(end, automation.get());
    if (end.hasEnded())
        return 0;
    return QApplication::exec();
}
