#include "LaunchAtLogin.h"

#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QStandardPaths>
#include <QStringDecoder>

#include <algorithm>

namespace KivApp {

namespace {

// An entry larger than this is no entry the program wrote, and is left alone.
constexpr qint64 maximumEntryBytes = 64 * 1024;

const QString desktopEntryGroup = QStringLiteral("[Desktop Entry]");

QString entryName()
{
    QString name = QGuiApplication::desktopFileName();
    if (name.isEmpty())
        name = QCoreApplication::applicationName();
    return name + QStringLiteral(".desktop");
}

// One argument of an Exec key. An argument holding a character that a launcher reads as syntax is
// quoted, and inside the quotes the characters that stay special are escaped; a literal % would
// start a field code and is doubled.
QString execArgument(const QString &argument)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    static const QString escapedInQuotes = QStringLiteral("\"`$\\");
    const bool quoted = argument.isEmpty()
        || std::any_of(argument.begin(), argument.end(), [](QChar c) { return reserved.contains(c); });
    QString result;
    for (const QChar c : argument) {
        if (quoted && escapedInQuotes.contains(c))
            result += QLatin1Char('\\');
        result += c;
        if (c == QLatin1Char('%'))
            result += c;
    }
    return quoted ? QLatin1Char('"') + result + QLatin1Char('"') : result;
}

// A string value of a desktop entry, whose own escapes come on top of the Exec key's.
QString entryString(QString value)
{
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    value.replace(QLatin1Char('\r'), QStringLiteral("\\r"));
    return value;
}

QString execLineFor(const QString &program, const QStringList &arguments)
{
    QStringList command {execArgument(program)};
    for (const QString &argument : arguments)
        command.append(execArgument(argument));
    return QStringLiteral("Exec=") + entryString(command.join(QLatin1Char(' ')));
}

bool isExecLine(QStringView line)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals > 0 && line.left(equals).trimmed() == QLatin1String("Exec");
}

// Calls `visit` with the index and the text of each line of the entry's main group, until it returns
// true. The text is the line without its end: a launcher reads an entry saved with CRLF line ends (by
// an editor on another system) as it reads one with LF ends, and so does every reading here.
template<typename Visit> void visitMainGroup(const QStringList &lines, Visit visit)
{
    bool inMainGroup = false;
    for (qsizetype index = 0; index < lines.size(); ++index) {
        QStringView line = lines[index];
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        const QStringView trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('['))) {
            inMainGroup = trimmed == desktopEntryGroup;
            continue;
        }
        if (inMainGroup && visit(index, line))
            return;
    }
}

// The entry with its Exec line replaced, or nothing when it is not UTF-8, or the first Exec line of its
// main group is already that line or not one of `replaced`. The line keeps its line end.
std::optional<QByteArray> withExecLine(const QByteArray &bytes, const QString &execLine,
                                       const QStringList &replaced)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    QStringList lines = text.split(QLatin1Char('\n'));
    std::optional<QByteArray> result;
    visitMainGroup(lines, [&](qsizetype index, QStringView line) {
        if (!isExecLine(line))
            return false;
        if (line != execLine && replaced.contains(line)) {
            lines[index].replace(0, line.size(), execLine);
            result = lines.join(QLatin1Char('\n')).toUtf8();
        }
        return true;
    });
    return result;
}

// Whether the entry's main group switches it off, as the desktops' own startup settings do when the
// user turns the program off there: KDE writes Hidden=true, GNOME X-GNOME-Autostart-enabled=false.
bool isSwitchedOff(const QByteArray &bytes)
{
    bool off = false;
    visitMainGroup(QString::fromUtf8(bytes).split(QLatin1Char('\n')), [&off](qsizetype, QStringView line) {
        const QStringView trimmed = line.trimmed();
        const qsizetype equals = trimmed.indexOf(QLatin1Char('='));
        if (equals <= 0)
            return false;
        const QStringView key = trimmed.left(equals).trimmed();
        const QStringView value = trimmed.mid(equals + 1).trimmed();
        off = (key == QLatin1String("Hidden") && value == QLatin1String("true"))
            || (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false"));
        return off;
    });
    return off;
}

} // namespace

LaunchAtLogin::LaunchAtLogin(QString folder, QString program, QStringList arguments)
    : m_folder(std::move(folder))
    , m_program(program.isEmpty() ? QCoreApplication::applicationFilePath() : std::move(program))
    , m_arguments(std::move(arguments))
{ }

QString LaunchAtLogin::defaultFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart");
}

QString LaunchAtLogin::entryPath() const
{
    return QDir(m_folder).filePath(entryName());
}

QString LaunchAtLogin::execLine() const
{
    return execLineFor(m_program, m_arguments);
}

bool LaunchAtLogin::isEnabled() const
{
    QFile entry(entryPath());
    if (!entry.exists())
        return false;
    // An entry that cannot be read or is too large to be ours still starts the program at login.
    if (!entry.open(QIODevice::ReadOnly))
        return true;
    const QByteArray bytes = entry.read(maximumEntryBytes + 1);
    return bytes.size() > maximumEntryBytes || !isSwitchedOff(bytes);
}

bool LaunchAtLogin::setEnabled(bool enabled)
{
    if (!enabled) {
        if (!QFile::exists(entryPath()) || QFile::remove(entryPath()))
            return true;
        qWarning("Error during setting SMAppService: could not remove %s", qPrintable(entryPath()));
        return false;
    }
    if (QDir().mkpath(m_folder)) {
        const QString entry = desktopEntryGroup + QStringLiteral("\nType=Application\nName=")
            + entryString(QCoreApplication::applicationName()) + u'\n' + execLine()
            + QStringLiteral("\nX-GNOME-Autostart-enabled=true\n");
        if (!Platform::AtomicFile::replace(entryPath(), entry.toUtf8()))
            return true;
    }
    qWarning("Error during setting SMAppService: could not write %s", qPrintable(entryPath()));
    return false;
}

bool LaunchAtLogin::bringUpToDate(const QList<QStringList> &earlierArguments)
{
    // An entry switched off in the desktop's settings is brought up to date too: switched on there
    // again, it starts the program as this version would.
    if (!QFile::exists(entryPath()))
        return true;
    const QString line = execLine();
    QStringList earlier;
    for (const QStringList &arguments : earlierArguments)
        earlier.append(execLineFor(m_program, arguments));
    const std::optional<Platform::AtomicFile::Failure> failure = Platform::AtomicFile::edit(
        entryPath(), maximumEntryBytes,
        [&line, &earlier](const Platform::AtomicFile::Content &content) -> std::optional<QByteArray> {
            if (!content.exists || content.bytes.size() > maximumEntryBytes)
                return std::nullopt;
            return withExecLine(content.bytes, line, earlier);
        },
        // An empty entry is nobody's save in progress that the start should wait for.
        [](const QByteArray &) { return false; });
    if (!failure)
        return true;
    qWarning("The login entry %s could not be brought up to date: %s", qPrintable(entryPath()),
             qPrintable(failure->reason));
    return false;
}

LaunchOnStartupToggle::LaunchOnStartupToggle(LaunchAtLogin launchAtLogin, QWidget *parent)
    : QCheckBox(tr("Launch app on system startup"), parent)
    , m_launchAtLogin(std::move(launchAtLogin))
{
    setObjectName(QStringLiteral("LaunchOnStartupToggle"));
    setChecked(m_launchAtLogin.isEnabled());
    connect(this, &QCheckBox::toggled, this, [this](bool on) {
        m_launchAtLogin.setEnabled(on);
        // What the box shows is what will happen at the next login.
        QSignalBlocker blocker(this);
        setChecked(m_launchAtLogin.isEnabled());
    });
}

} // namespace KivApp
