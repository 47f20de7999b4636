#include "platform/Workspace.h"

#include "platform/AtomicFile.h"
#include "platform/Home.h"
#include "platform/PropertyList.h"
#include "platform/RegularFile.h"

#include <QDateTime>
#include <QDesktopServices>
#include <QDir>
#include <QDirIterator>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QMutexLocker>
#include <QPixmap>

#include <algorithm>

namespace Platform {

namespace {

QMutex &tableMutex()
{
    static QMutex mutex;
    return mutex;
}

// Bundles' Info.plist files are small (a few kilobytes; the largest real ones some hundreds); the
// installed applications are listed on the GUI thread, so anything much larger is not read at all.
constexpr qint64 maximumInfoPlistSize = 4 * 1024 * 1024;

// The text values of the top-level dictionary of a bundle's Info.plist; other value types are left
// out. Nothing when the file cannot be read or is no property list with a dictionary at its top.
std::optional<QHash<QString, QString>> readInfoPlistStrings(const QString &path)
{
    const PropertyList::Reading reading =
        PropertyList::readFile(path, PropertyList::Form::Readable, maximumInfoPlistSize);
    if (!reading.isRead() || reading.value.typeId() != QMetaType::QVariantMap)
        return std::nullopt;
    QHash<QString, QString> strings;
    const QVariantMap values = reading.value.toMap();
    for (auto it = values.cbegin(); it != values.cend(); ++it) {
        if (it.value().typeId() == QMetaType::QString)
            strings.insert(it.key(), it.value().toString());
    }
    return strings;
}

// Far larger than any application's icon file.
constexpr qint64 maximumIconFileSize = 16 * 1024 * 1024;

// Every picture in an icon file of another application's bundle, read at once from the file that was
// looked at: an icon that opened its path later (when it is drawn) could meet a named pipe put there
// meanwhile and keep the GUI thread waiting for a writer.
QIcon iconFromFile(const QString &path)
{
    QFile file;
    if (RegularFile::open(file, path, maximumIconFileSize))
        return {};
    QImageReader reader(&file);
    QIcon icon;
    // An icon file holds a few sizes; an animation is not read to its end.
    for (int index = 0; index < 16; ++index) {
        const QImage image = reader.read();
        if (image.isNull())
            break;
        icon.addPixmap(QPixmap::fromImage(image));
        if (!reader.jumpToNextImage())
            break;
    }
    return icon;
}

struct Table
{
    QJsonArray entries;
    bool valid = true; // false when the file exists but cannot be parsed
};

// Far more than the entries of every application there could be.
constexpr qint64 maximumTableSize = 4 * 1024 * 1024;

Table readTable()
{
    const QString path = Workspace::runningApplicationsFile();
    if (!QFileInfo::exists(path))
        return {};
    // Anyone may put something else in the table's place: a named pipe read on the GUI thread would
    // keep the program waiting for a writer.
    const RegularFile::Contents contents = RegularFile::read(path, maximumTableSize);
    if (!contents.bytes)
        return {QJsonArray(), false};
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(*contents.bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        return {QJsonArray(), false};
    return {document.array(), true};
}

bool writeTable(const QJsonArray &entries)
{
    const QString path = Workspace::runningApplicationsFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    return !AtomicFile::replace(path, QJsonDocument(entries).toJson(QJsonDocument::Indented));
}

qint64 pidOf(const QJsonObject &entry)
{
    return entry.value(QLatin1String("pid")).toInteger();
}

bool isLaunching(const QJsonObject &entry, const QDateTime &now)
{
    const QString launchesAt = entry.value(QLatin1String("launchesAt")).toString();
    if (launchesAt.isEmpty())
        return false;
    const QDateTime when = QDateTime::fromString(launchesAt, Qt::ISODateWithMs);
    return when.isValid() && when > now;
}

RunningApplication fromJson(const QJsonObject &entry)
{
    RunningApplication application;
    application.processIdentifier = pidOf(entry);
    application.bundleIdentifier = entry.value(QLatin1String("bundleIdentifier")).toString();
    application.localizedName = entry.value(QLatin1String("name")).toString();
    application.bundlePath = Home::resolve(entry.value(QLatin1String("bundlePath")).toString());
    application.executablePath = Home::resolve(entry.value(QLatin1String("executablePath")).toString());
    application.activationPolicy =
        activationPolicyFromRawValue(entry.value(QLatin1String("activationPolicy")).toString())
            .value_or(ActivationPolicy::Regular);
    application.finishedLaunching = entry.value(QLatin1String("finishedLaunching")).toBool(true);
    application.terminated = entry.value(QLatin1String("terminated")).toBool(false);
    return application;
}

QJsonObject toJson(const RunningApplication &application)
{
    QJsonObject entry;
    entry.insert(QLatin1String("pid"), application.processIdentifier);
    entry.insert(QLatin1String("bundleIdentifier"), application.bundleIdentifier);
    entry.insert(QLatin1String("name"), application.localizedName);
    entry.insert(QLatin1String("bundlePath"), application.bundlePath);
    entry.insert(QLatin1String("executablePath"), application.executablePath);
    entry.insert(QLatin1String("activationPolicy"), toRawValue(application.activationPolicy));
    entry.insert(QLatin1String("finishedLaunching"), application.finishedLaunching);
    if (application.terminated)
        entry.insert(QLatin1String("terminated"), true);
    return entry;
}

// A process identifier is not given out twice by this process, even after its entry has left the
// table, so a restarted application is always told apart from the one that quit. Called with the
// table's lock held.
qint64 nextPid(const QJsonArray &entries)
{
    static qint64 lastIssued = 400;
    for (const QJsonValue &value : entries)
        lastIssued = std::max(lastIssued, pidOf(value.toObject()));
    return ++lastIssued;
}

QString processName(const QJsonObject &entry)
{
    const QString executable = entry.value(QLatin1String("executablePath")).toString();
    if (!executable.isEmpty())
        return QFileInfo(executable).fileName();
    return entry.value(QLatin1String("name")).toString();
}

} // namespace

QString InstalledApplication::executablePath() const
{
    if (executableName.isEmpty())
        return {};
    return path + QStringLiteral("/Contents/MacOS/") + executableName;
}

QString toRawValue(ActivationPolicy policy)
{
    switch (policy) {
    case ActivationPolicy::Regular:
        return QStringLiteral("regular");
    case ActivationPolicy::Accessory:
        return QStringLiteral("accessory");
    case ActivationPolicy::Prohibited:
        return QStringLiteral("prohibited");
    }
    return QStringLiteral("regular");
}

std::optional<ActivationPolicy> activationPolicyFromRawValue(const QString &raw)
{
    if (raw == QLatin1String("regular"))
        return ActivationPolicy::Regular;
    if (raw == QLatin1String("accessory"))
        return ActivationPolicy::Accessory;
    if (raw == QLatin1String("prohibited"))
        return ActivationPolicy::Prohibited;
    return std::nullopt;
}

Workspace &Workspace::shared()
{
    static Workspace *instance = new Workspace;
    return *instance;
}

QString Workspace::runningApplicationsFile()
{
    return Home::path(QStringLiteral("Library/Workspace/RunningApplications.json"));
}

std::optional<InstalledApplication> Workspace::applicationAt(const QString &bundlePath) const
{
    const QFileInfo info(bundlePath);
    if (!info.isDir() || !info.fileName().endsWith(QLatin1String(".app")))
        return std::nullopt;
    const auto strings =
        readInfoPlistStrings(info.absoluteFilePath() + QStringLiteral("/Contents/Info.plist"));
    if (!strings)
        return std::nullopt;
    InstalledApplication application;
    application.path = QDir::cleanPath(info.absoluteFilePath());
    application.bundleIdentifier = strings->value(QStringLiteral("CFBundleIdentifier"));
    application.name = strings->value(QStringLiteral("CFBundleName"));
    if (application.name.isEmpty())
        application.name = info.completeBaseName();
    application.executableName = strings->value(QStringLiteral("CFBundleExecutable"));
    return application;
}

QList<InstalledApplication> Workspace::installedApplications() const
{
    // Bundles are found in Applications/ and its plain subfolders; a bundle's own contents are not
    // searched (an application may carry helper applications inside it).
    QList<InstalledApplication> applications;
    QStringList pending {Home::applicationsFolder()};
    QStringList bundles;
    while (!pending.isEmpty()) {
        const QString folder = pending.takeFirst();
        const QFileInfoList children =
            QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &child : children) {
            if (child.fileName().endsWith(QLatin1String(".app")))
                bundles.append(child.absoluteFilePath());
            else if (!child.isSymLink())
                pending.append(child.absoluteFilePath());
        }
    }
    std::sort(bundles.begin(), bundles.end());
    for (const QString &bundle : std::as_const(bundles)) {
        if (auto application = applicationAt(bundle))
            applications.append(*application);
    }
    return applications;
}

std::optional<InstalledApplication>
Workspace::applicationWithBundleIdentifier(const QString &bundleIdentifier) const
{
    if (bundleIdentifier.isEmpty())
        return std::nullopt;
    for (const InstalledApplication &application : installedApplications()) {
        if (application.bundleIdentifier == bundleIdentifier)
            return application;
    }
    return std::nullopt;
}

std::optional<InstalledApplication> Workspace::applicationNamed(const QString &name) const
{
    if (name.isEmpty())
        return std::nullopt;
    for (const InstalledApplication &application : installedApplications()) {
        if (application.name == name || QFileInfo(application.path).completeBaseName() == name)
            return application;
    }
    return std::nullopt;
}

QList<RunningApplication> Workspace::runningApplications() const
{
    QMutexLocker locker(&tableMutex());
    const Table table = readTable();
    const QDateTime now = this->now();
    QList<RunningApplication> applications;
    for (const QJsonValue &value : table.entries) {
        const QJsonObject entry = value.toObject();
        if (!entry.isEmpty() && !isLaunching(entry, now))
            applications.append(fromJson(entry));
    }
    return applications;
}

QList<RunningApplication> Workspace::runningApplications(const QString &bundleIdentifier) const
{
    QList<RunningApplication> applications = runningApplications();
    applications.removeIf([&](const RunningApplication &application) {
        return application.bundleIdentifier != bundleIdentifier;
    });
    return applications;
}

qint64 Workspace::addRunningApplication(RunningApplication application)
{
    {
        QMutexLocker locker(&tableMutex());
        Table table = readTable();
        if (!table.valid)
            return 0;
        if (application.processIdentifier == 0)
            application.processIdentifier = nextPid(table.entries);
        table.entries.append(toJson(application));
        if (!writeTable(table.entries))
            return 0;
    }
    emit runningApplicationsChanged();
    return application.processIdentifier;
}

bool Workspace::forceTerminate(qint64 processIdentifier)
{
    {
        QMutexLocker locker(&tableMutex());
        Table table = readTable();
        if (!table.valid)
            return false;
        const QDateTime now = this->now();
        bool found = false;
        for (qsizetype i = 0; i < table.entries.size(); ++i) {
            const QJsonObject entry = table.entries.at(i).toObject();
            if (pidOf(entry) == processIdentifier && !isLaunching(entry, now)) {
                table.entries.removeAt(i);
                found = true;
                break;
            }
        }
        if (!found || !writeTable(table.entries))
            return false;
    }
    emit runningApplicationsChanged();
    return true;
}

int Workspace::killAll(const QString &name)
{
    int killed = 0;
    {
        QMutexLocker locker(&tableMutex());
        Table table = readTable();
        if (!table.valid || name.isEmpty())
            return 0;
        const QDateTime now = this->now();
        QJsonArray kept;
        QJsonArray relaunched;
        for (const QJsonValue &value : std::as_const(table.entries)) {
            QJsonObject entry = value.toObject();
            if (isLaunching(entry, now) || processName(entry) != name) {
                kept.append(entry);
                continue;
            }
            ++killed;
            // The system keeps the Dock alive: it comes back shortly with a new process identifier.
            if (entry.value(QLatin1String("bundleIdentifier")).toString() == dockBundleIdentifier)
                relaunched.append(entry);
        }
        if (killed == 0)
            return 0;
        for (const QJsonValue &value : std::as_const(relaunched)) {
            QJsonObject entry = value.toObject();
            entry.insert(QLatin1String("pid"), nextPid(table.entries));
            entry.insert(QLatin1String("launchesAt"),
                         now.addMSecs(dockRelaunchDelayMs).toString(Qt::ISODateWithMs));
            kept.append(entry);
        }
        if (!writeTable(kept))
            return 0;
    }
    emit runningApplicationsChanged();
    return killed;
}

QCoro::Task<bool> Workspace::openApplication(QString bundlePath)
{
    const std::optional<InstalledApplication> application = applicationAt(Home::resolve(bundlePath));
    if (!application)
        co_return false;
    for (const RunningApplication &running : runningApplications()) {
        if (!running.terminated && QDir::cleanPath(running.bundlePath) == application->path)
            co_return true;
    }
    RunningApplication entry;
    entry.bundleIdentifier = application->bundleIdentifier;
    entry.localizedName = application->name;
    entry.bundlePath = application->path;
    entry.executablePath = application->executablePath();
    co_return addRunningApplication(entry) != 0;
}

bool Workspace::openUrl(const QUrl &url)
{
    if (!url.isValid())
        return false;
    if (m_urlOpener)
        return m_urlOpener(url);
    return QDesktopServices::openUrl(url);
}

void Workspace::setUrlOpener(std::function<bool(const QUrl &)> opener)
{
    m_urlOpener = std::move(opener);
}

void Workspace::setClock(Clock clock)
{
    QMutexLocker locker(&tableMutex());
    m_clock = std::move(clock);
}

QDateTime Workspace::now() const
{
    return m_clock ? m_clock().toUTC() : QDateTime::currentDateTimeUtc();
}

QIcon Workspace::iconForFile(const QString &path) const
{
    const QString resolved = Home::resolve(path);
    const QFileInfo info(resolved);
    if (info.isDir() && info.fileName().endsWith(QLatin1String(".app"))) {
        const auto strings = readInfoPlistStrings(resolved + QStringLiteral("/Contents/Info.plist"));
        const QString iconFile = strings ? strings->value(QStringLiteral("CFBundleIconFile")) : QString();
        if (!iconFile.isEmpty()) {
            const QString resources = resolved + QStringLiteral("/Contents/Resources/");
            const QStringList candidates {iconFile, iconFile + QStringLiteral(".png"),
                                          iconFile + QStringLiteral(".svg"),
                                          iconFile + QStringLiteral(".icns")};
            for (const QString &candidate : candidates) {
                const QIcon icon = iconFromFile(resources + candidate);
                if (!icon.isNull())
                    return icon;
            }
        }
        return QIcon::fromTheme(QStringLiteral("application-x-executable"),
                                QFileIconProvider().icon(QFileIconProvider::File));
    }
    if (!info.exists())
        return QFileIconProvider().icon(QFileIconProvider::File);
    return QFileIconProvider().icon(info);
}

} // namespace Platform
