#include "platform/CloudKeyValueStore.h"

#include "platform/AtomicFile.h"
#include "platform/Home.h"
#include "platform/PropertyList.h"
#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>

namespace Platform {

const QString CloudKeyValueStore::changeReasonKey = QStringLiteral("reason");
const QString CloudKeyValueStore::changedKeysKey = QStringLiteral("changedKeys");

CloudKeyValueStore &CloudKeyValueStore::defaultStore()
{
    static QHash<QString, CloudKeyValueStore *> stores;
    const QString path = defaultFilePath();
    if (CloudKeyValueStore *existing = stores.value(path))
        return *existing;
    auto *store = new CloudKeyValueStore(path);
    stores.insert(path, store);
    return *store;
}

QString CloudKeyValueStore::defaultFilePath()
{
    return Home::path(QStringLiteral("Library/Mobile Documents/KeyValueStore/com.quorvane.Tapestrel.plist"));
}

CloudKeyValueStore::CloudKeyValueStore(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_filePath(filePath)
{
    QDir().mkpath(QFileInfo(filePath).absolutePath());
    if (const std::optional<QByteArray> bytes = readFile()) {
        m_knownBytes = *bytes;
        if (m_knownBytes.isEmpty())
            m_values.clear();
        else if (auto values = PropertyList::parseDictionary(m_knownBytes))
            m_values = *values;
        else
            m_readable = false;
    }
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] { synchronize(); });
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, [this] { synchronize(); });
    watch();
}

void CloudKeyValueStore::watch()
{
    // A replaced file drops out of the watch list; the folder's watch notices the replacement.
    const QString folder = QFileInfo(m_filePath).absolutePath();
    if (!m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
    if (QFile::exists(m_filePath) && !m_watcher.files().contains(m_filePath))
        m_watcher.addPath(m_filePath);
}

QVariant CloudKeyValueStore::value(const QString &key) const
{
    return m_values.value(key);
}

std::optional<QByteArray> CloudKeyValueStore::readFile()
{
    // Only a regular file is read: a named pipe in its place would block every synchronisation.
    const RegularFile::Contents contents = RegularFile::read(m_filePath, PropertyList::maximumSize);
    if (contents.bytes) {
        m_foreign = false;
        return contents.bytes;
    }
    const QFileInfo info(m_filePath);
    if (!info.exists() && !info.isSymLink()) {
        m_foreign = false;
        return QByteArray();
    }
    // Something that is not a file of ours stands at the store's path: it is neither read nor
    // replaced, and what is known is kept.
    m_foreign = true;
    m_readable = false;
    return std::nullopt;
}

bool CloudKeyValueStore::takeOverFile()
{
    const std::optional<QByteArray> read = readFile();
    if (!read)
        return false;
    const QByteArray &bytes = *read;
    if (bytes == m_knownBytes)
        return m_readable;
    std::optional<QVariantMap> values =
        bytes.isEmpty() ? std::optional<QVariantMap>(QVariantMap()) : PropertyList::parseDictionary(bytes);
    if (!values) {
        // A half-written or foreign file: keep what we know until it becomes readable.
        m_readable = false;
        return false;
    }
    m_knownBytes = bytes;
    m_readable = true;
    QSet<QString> keys(m_values.keyBegin(), m_values.keyEnd());
    for (auto it = values->keyBegin(); it != values->keyEnd(); ++it)
        keys.insert(*it);
    QStringList changed;
    for (const QString &key : std::as_const(keys)) {
        if (m_values.value(key) != values->value(key))
            changed.append(key);
    }
    m_values = *values;
    if (!changed.isEmpty()) {
        changed.sort();
        emit didChangeExternally({{changeReasonKey, int(ServerChange)}, {changedKeysKey, changed}});
    }
    return true;
}

bool CloudKeyValueStore::synchronize()
{
    const bool readable = takeOverFile();
    watch();
    return readable;
}

bool CloudKeyValueStore::setValue(const QString &key, const QVariant &value)
{
    if (key.isEmpty())
        return false;
    QVariant stored;
    if (value.isValid()) {
        stored = PropertyList::normalized(value);
        if (!stored.isValid()) {
            qWarning("The cloud store cannot keep the value of \"%s\".", qUtf8Printable(key));
            return false;
        }
    }
    // Whatever another process wrote meanwhile is taken over first, so it is not lost.
    synchronize();
    if (m_foreign) {
        qWarning("The cloud store \"%s\" is not a regular file; it is left as it is.",
                 qUtf8Printable(m_filePath));
        return false;
    }
    if (!m_readable) {
        // The unreadable file is kept beside the store before the first write replaces it.
        const QString kept = m_filePath + QStringLiteral(".corrupt");
        QFile::remove(kept);
        if (!QFile::copy(m_filePath, kept)) {
            qWarning("The cloud store \"%s\" is not readable and could not be set aside.",
                     qUtf8Printable(m_filePath));
            return false;
        }
        qWarning("The cloud store \"%s\" was not readable; it was kept as \"%s\".",
                 qUtf8Printable(m_filePath), qUtf8Printable(kept));
    }
    QVariantMap values = m_values;
    if (stored.isValid())
        values.insert(key, stored);
    else if (!values.remove(key))
        return true;
    const QByteArray bytes = PropertyList::toBinary(values);
    if (bytes.isEmpty() || AtomicFile::replace(m_filePath, bytes)) {
        qWarning("The cloud store \"%s\" could not be written.", qUtf8Printable(m_filePath));
        return false;
    }
    m_values = values;
    m_knownBytes = bytes;
    m_readable = true;
    watch();
    return true;
}

} // namespace Platform
