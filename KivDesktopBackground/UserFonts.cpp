#include "KivDesktopBackground/UserFonts.h"

#include "KivUtilities/VisibleText.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <cstdio>
#include <mutex>
#include <optional>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace KivDesktopBackground::UserFonts {

namespace {

// Folders below the user's font folders that are looked at; a tree of more is not followed further.
constexpr int maxFolders = 1000;

std::mutex g_mutex;
// The folders and their times as their cache was last brought up to date.
QByteArray g_broughtUpToDate;

// The folders that exist with their times of modification, which the font configuration tells an
// out-of-date cache by.
QByteArray stateOf(const QStringList &existing)
{
    QByteArray state;
    int count = 0;
    for (const QString &folder : existing) {
        // Hidden ones too are passed over, as the font configuration passes them over.
        QDirIterator below(folder, QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
        for (QString path = folder; !path.isEmpty() && count < maxFolders; ++count) {
            struct stat status
            {
            };
            if (::stat(QFile::encodeName(path).constData(), &status) == 0)
                state += QFile::encodeName(path) + '\0' + QByteArray::number(qint64(status.st_mtim.tv_sec))
                    + '.' + QByteArray::number(qint64(status.st_mtim.tv_nsec)) + '\0';
            path = below.hasNext() ? below.next() : QString();
        }
    }
    return state;
}

// Says `line` on standard error, once for each of the program's runs.
void sayOnce(const QString &line)
{
    static std::once_flag said;
    std::call_once(said, [&line] { std::fputs(line.toLocal8Bit().constData(), stderr); });
}

// Runs "fc-cache" on `existing` within `limit`; why not, when it did not bring them up to date.
std::optional<QString> runFontCache(const QStringList &existing, const QByteArrayList &environment,
                                    std::chrono::milliseconds limit)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("fc-cache"));
    if (program.isEmpty())
        return QCoreApplication::translate("PictureDecoder", "“fc-cache” is not installed");
    QProcessEnvironment variables;
    for (const QByteArray &variable : environment) {
        const qsizetype equals = variable.indexOf('=');
        variables.insert(QString::fromLocal8Bit(variable.left(equals)),
                         QString::fromLocal8Bit(variable.mid(equals + 1)));
    }
    QProcess fontCache;
    fontCache.setProcessEnvironment(variables);
    // Its own output goes nowhere.
    fontCache.setStandardInputFile(QProcess::nullDevice());
    fontCache.setStandardOutputFile(QProcess::nullDevice());
    fontCache.setStandardErrorFile(QProcess::nullDevice());
    fontCache.start(program, existing);
    if (!fontCache.waitForStarted())
        return fontCache.errorString();
    if (!fontCache.waitForFinished(int(limit.count()))) {
        fontCache.kill();
        fontCache.waitForFinished();
        return QCoreApplication::translate("PictureDecoder", "“fc-cache” took more than %1 seconds")
            .arg(QString::number(double(limit.count()) / 1000));
    }
    if (fontCache.exitStatus() != QProcess::NormalExit || fontCache.exitCode() != 0)
        return QCoreApplication::translate("PictureDecoder", "“fc-cache” failed");
    return std::nullopt;
}

} // namespace

QStringList folders()
{
    // The home as the decoding process takes it: the one it is told where that is a path, else the
    // user's own.
    QString home = qEnvironmentVariable("HOME");
    if (!home.startsWith(u'/')) {
        const passwd *user = ::getpwuid(::getuid());
        home = user ? QFile::decodeName(user->pw_dir) : QString();
    }
    QStringList found;
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    for (const QString &folder : {home + QStringLiteral("/.local/share/fonts"),
                                  dataHome.isEmpty() ? QString() : dataHome + QStringLiteral("/fonts"),
                                  home + QStringLiteral("/.fonts")}) {
        if (QDir::isAbsolutePath(folder) && !found.contains(QDir::cleanPath(folder)))
            found.append(QDir::cleanPath(folder));
    }
    return found;
}

void keepCacheCurrent(const QByteArrayList &environment, std::chrono::milliseconds limit)
{
    const std::lock_guard lock(g_mutex);
    QStringList existing;
    for (const QString &folder : folders()) {
        if (QFileInfo(folder).isDir())
            existing.append(folder);
    }
    const QByteArray state = stateOf(existing);
    if (existing.isEmpty() || state == g_broughtUpToDate)
        return;
    // Where it cannot be done, it is not tried again until the folders change.
    g_broughtUpToDate = state;
    if (const std::optional<QString> why = runFontCache(existing, environment, limit))
        sayOnce(
            QCoreApplication::translate("PictureDecoder",
                                        "Tapestrel: the font cache of %1 cannot be brought up to date (%2): "
                                        "each picture decoding process reads those fonts anew.\n")
                .arg(KivUtilities::visibleControls(existing.join(QStringLiteral(", "))), *why));
}

} // namespace KivDesktopBackground::UserFonts
