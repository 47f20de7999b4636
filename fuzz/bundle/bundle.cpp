// An application bundle whose Info.plist holds the input. Reading the bundle never crashes or waits,
// and what it reports comes from the list's text values.

#include "platform/PropertyList.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

using Platform::PropertyList;

namespace {

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

QString text(const QVariantMap &values, const char *key)
{
    const QVariant value = values.value(QLatin1String(key));
    return value.typeId() == QMetaType::QString ? value.toString() : QString();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static QTemporaryDir folder;
    static const QString bundle = folder.filePath(QStringLiteral("Fuzz.app"));
    static const bool made = QDir().mkpath(bundle + QStringLiteral("/Contents"));
    if (!made)
        fail("cannot make the bundle");
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QFile file(bundle + QStringLiteral("/Contents/Info.plist"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail("cannot write the Info.plist");
    file.close();

    const std::optional<Platform::InstalledApplication> application =
        Platform::Workspace::shared().applicationAt(bundle);
    const std::optional<QVariantMap> values = PropertyList::parseDictionary(bytes);
    if (application.has_value() != values.has_value())
        fail("the bundle is read when its list is not, or the other way round");
    if (!application)
        return 0;
    const QString name = text(*values, "CFBundleName");
    if (application->bundleIdentifier != text(*values, "CFBundleIdentifier")
        || application->executableName != text(*values, "CFBundleExecutable")
        || application->name != (name.isEmpty() ? QStringLiteral("Fuzz") : name))
        fail("the bundle reports what its list does not say");
    return 0;
}
