#pragma once

// Option.h first: the theme test support sets option values.
#include "Tapestrel/model/Option.h"

#include "Tapestrel/apps/vscode/VSCodeProfile.h"

#include "Tapestrel/tests/apps/ThemeTestSupport.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <sqlite3.h>

#include <gtest/gtest.h>

// An emulated home with VS Code's files laid out as VS Code keeps them.
class VSCodeFixture : public ThemeTests::ThemeAppTest
{
protected:
    static VSCodeProfile work() { return {QStringLiteral("-3f1a"), QStringLiteral("Work"), false}; }

    QString code(const QString &relative = QString()) const
    {
        const QString root = home.filePath(QStringLiteral("Library/Application Support/Code"));
        return relative.isEmpty() ? root : root + QLatin1Char('/') + relative;
    }
    static QString profileFolder(const VSCodeProfile &profile)
    {
        return profile.isDefault ? QStringLiteral("User") : QStringLiteral("User/profiles/") + profile.id;
    }
    QString settingsFile(const VSCodeProfile &profile) const
    {
        return code(profileFolder(profile) + QStringLiteral("/settings.json"));
    }

    void write(const QString &path, const QByteArray &bytes) const
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }
    // Lets the other controllers hear of a change of the chosen profile.
    static void deliverNotifications()
    {
        for (int round = 0; round < 8; ++round)
            QCoreApplication::processEvents();
    }
    static QByteArray contents(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // "storage.json" with the named profiles (location, name).
    void writeProfiles(const QList<VSCodeProfile> &profiles) const
    {
        QJsonArray list;
        for (const VSCodeProfile &profile : profiles)
            list.append(QJsonObject {{"location", profile.id}, {"name", profile.name}});
        write(code(QStringLiteral("User/globalStorage/storage.json")),
              QJsonDocument(QJsonObject {{"theme", "vs-dark"}, {"userDataProfiles", list}}).toJson());
    }
    void writeSettings(const VSCodeProfile &profile, const QByteArray &bytes) const
    {
        write(settingsFile(profile), bytes);
    }

    // Installs an extension folder below ".vscode/extensions" with its manifest; gives its path.
    QString installExtension(const QString &folder, const QByteArray &packageJson) const
    {
        const QString path = home.filePath(QStringLiteral(".vscode/extensions/") + folder);
        write(path + QStringLiteral("/package.json"), packageJson);
        return path;
    }
    // A manifest contributing themes given as (id, label) pairs; an empty text leaves the field out.
    static QByteArray manifest(const QList<std::pair<QString, QString>> &themes)
    {
        QJsonArray list;
        for (const auto &[id, label] : themes) {
            QJsonObject entry {{"path", "./themes/t.json"}, {"uiTheme", "vs-dark"}};
            if (!id.isEmpty())
                entry.insert("id", id);
            if (!label.isEmpty())
                entry.insert("label", label);
            list.append(entry);
        }
        return QJsonDocument(QJsonObject {{"name", "x"}, {"contributes", QJsonObject {{"themes", list}}}})
            .toJson();
    }
    // The profile's "extensions.json" listing (identifier, folder path) pairs.
    void writeExtensionsList(const VSCodeProfile &profile,
                             const QList<std::pair<QString, QString>> &entries) const
    {
        QJsonArray list;
        for (const auto &[id, path] : entries) {
            list.append(
                QJsonObject {{"identifier", QJsonObject {{"id", id}}},
                             {"version", "1.0.0"},
                             {"location", QJsonObject {{"$mid", 1}, {"path", path}, {"scheme", "file"}}}});
        }
        const QString file = profile.isDefault
            ? home.filePath(QStringLiteral(".vscode/extensions/extensions.json"))
            : code(profileFolder(profile) + QStringLiteral("/extensions.json"));
        write(file, QJsonDocument(list).toJson());
    }

    QString stateDatabase(const VSCodeProfile &profile) const
    {
        return code(profileFolder(profile) + QStringLiteral("/globalStorage/state.vscdb"));
    }
    // The profile's state database as VS Code keeps it, built through SQLite; with a disabled list
    // when one is given.
    void writeStateDatabase(const VSCodeProfile &profile, const std::optional<QByteArray> &disabled) const
    {
        const QString path = stateDatabase(profile);
        QDir().mkpath(QFileInfo(path).absolutePath());
        sqlite3 *database = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &database), SQLITE_OK);
        ASSERT_EQ(
            sqlite3_exec(
                database,
                "CREATE TABLE IF NOT EXISTS ItemTable (key TEXT UNIQUE ON CONFLICT REPLACE, value BLOB);"
                "INSERT INTO ItemTable VALUES ('workbench.panel.height', '300');",
                nullptr, nullptr, nullptr),
            SQLITE_OK);
        if (disabled) {
            sqlite3_stmt *statement = nullptr;
            sqlite3_prepare_v2(database,
                               "INSERT INTO ItemTable VALUES ('extensionsIdentifiers/disabled', ?1)", -1,
                               &statement, nullptr);
            sqlite3_bind_text(statement, 1, disabled->constData(), int(disabled->size()), SQLITE_TRANSIENT);
            EXPECT_EQ(sqlite3_step(statement), SQLITE_DONE);
            sqlite3_finalize(statement);
        }
        sqlite3_close(database);
    }
};
