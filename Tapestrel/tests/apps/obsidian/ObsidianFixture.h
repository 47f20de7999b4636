#pragma once

#include "Tapestrel/apps/obsidian/ObsidianSelectedVaultController.h"
#include "platform/UserDefaults.h"
#include "testsupport/TempHome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

namespace ObsidianTests {

// An emulated home with Obsidian's configuration file and vault folders laid out as Obsidian keeps them.
class ObsidianTest : public TestSupport::TempHomeTest
{
protected:
    static inline const QString configFile =
        QStringLiteral("Library/Application Support/obsidian/obsidian.json");

    // A vault folder below the home, with its appearance file when `appearance` is not null.
    QString makeVault(const QString &folder, const QByteArray &appearance = QByteArray()) const
    {
        const QString path = home.filePath(QStringLiteral("Vaults/") + folder);
        QDir().mkpath(path);
        if (!appearance.isNull())
            home.writeFile(QStringLiteral("Vaults/") + folder + QStringLiteral("/.obsidian/appearance.json"),
                           appearance);
        return path;
    }

    QString appearancePath(const QString &folder) const
    {
        return home.filePath(QStringLiteral("Vaults/") + folder
                             + QStringLiteral("/.obsidian/appearance.json"));
    }
    QByteArray appearance(const QString &folder) const
    {
        return home.readFile(QStringLiteral("Vaults/") + folder
                             + QStringLiteral("/.obsidian/appearance.json"));
    }

    // "obsidian.json" listing vaults as (id, path, ts, open) entries; `open` adds "open": true.
    struct Entry
    {
        QString id;
        QString path;
        qint64 ts = 1;
        bool open = false;
    };
    void listVaults(const QList<Entry> &entries) const
    {
        QStringList members;
        for (const Entry &entry : entries)
            members.append(QStringLiteral(R"("%1":{"path":"%2","ts":%3%4})")
                               .arg(entry.id, entry.path)
                               .arg(entry.ts)
                               .arg(entry.open ? QStringLiteral(R"(,"open":true)") : QString()));
        home.writeFile(configFile,
                       QStringLiteral(R"({"vaults":{%1},"frame":"hidden"})")
                           .arg(members.join(QLatin1Char(',')))
                           .toUtf8());
    }

    static Platform::UserDefaults &defaults() { return Platform::UserDefaults::standard(); }
    static std::optional<QString> storedVaultID()
    {
        return defaults().string(ObsidianSelectedVaultController::vaultIDKey);
    }
    static void storeVaultID(const QString &id)
    {
        defaults().setValue(ObsidianSelectedVaultController::vaultIDKey, id);
    }
};

// An appearance file as Obsidian writes it: two-space indentation, no final line end.
inline QByteArray obsidianFile(const QByteArray &members)
{
    return "{\n" + members + "\n}";
}

} // namespace ObsidianTests
