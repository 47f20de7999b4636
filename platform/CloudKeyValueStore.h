#pragma once

#include <QByteArray>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QVariant>
#include <QVariantList>
#include <QVariantMap>

#include <optional>

namespace Platform {

// The key-value store that follows the user from machine to machine: a property list in the
// cloud folder of the emulated home ("Library/Mobile Documents/KeyValueStore/<bundle id>.plist").
// Values are property-list values (see PropertyList). Every change is written to the file at once,
// on top of what another process may have written meanwhile. When another process changes the
// file, the store takes the new contents and emits didChangeExternally with the reason and the
// changed keys. Used on the thread that made it (the main thread for the default store).
class CloudKeyValueStore : public QObject
{
    Q_OBJECT

public:
    // Why values changed from outside; the value under changeReasonKey.
    enum ChangeReason {
        ServerChange = 0,
        InitialSyncChange = 1,
        QuotaViolationChange = 2,
        AccountChange = 3
    };
    static const QString changeReasonKey; // "reason": integer
    static const QString changedKeysKey; // "changedKeys": QStringList

    // The program's store in the current emulated home; one instance per home for the process.
    static CloudKeyValueStore &defaultStore();
    static QString defaultFilePath();

    explicit CloudKeyValueStore(const QString &filePath, QObject *parent = nullptr);

    QString filePath() const { return m_filePath; }

    // An invalid QVariant when the key has no value.
    QVariant value(const QString &key) const;
    QVariantMap dictionaryRepresentation() const { return m_values; }

    // Stores a property-list value (an invalid QVariant removes the key) and writes the file.
    // False, with nothing changed, when the value cannot be stored or the file cannot be written.
    bool setValue(const QString &key, const QVariant &value);
    bool remove(const QString &key) { return setValue(key, QVariant()); }

    // Takes over changes that other processes wrote to the file (emitting didChangeExternally).
    // False when the file exists but cannot be read as a property list.
    bool synchronize();

signals:
    // Another process changed values. userInfo holds changeReasonKey and changedKeysKey.
    void didChangeExternally(const QVariantMap &userInfo);

private:
    bool takeOverFile();
    // The file's bytes (empty when there is none), or nothing when it cannot be read.
    std::optional<QByteArray> readFile();
    void watch();

    QString m_filePath;
    QVariantMap m_values;
    QByteArray m_knownBytes;
    bool m_readable = true;
    bool m_foreign = false; // the path holds no regular file: never read, never replaced
    QFileSystemWatcher m_watcher;
};

} // namespace Platform
