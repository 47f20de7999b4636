#pragma once

#include "Tapestrel/apps/vscode/VSCodeExcludedExtension.h"
#include "Tapestrel/apps/vscode/VSCodeProfile.h"

#include <QList>
#include <QString>

#include <optional>

// The disabled extensions of a VS Code profile, from its state database ("globalStorage/state.vscdb",
// an SQLite file). The database belongs to a running VS Code: it is opened read-only and never
// created, no journal file is left beside it, and a lock held by VS Code is waited on only briefly.
class VSCodeStateDbController
{
public:
    static inline const QString disabledExtensionsKey = QStringLiteral("extensionsIdentifiers/disabled");
    static constexpr int busyTimeoutMilliseconds = 250;

    // None when the profile has no database, the row is missing or its value is not a JSON array
    // of objects.
    static std::optional<VSCodeStateDbController> open(const VSCodeProfile &profile);
    static std::optional<VSCodeStateDbController> openFile(const QString &databasePath);

    // The entries that hold both an "id" and a "uuid" text, in stored order.
    const QList<VSCodeExcludedExtension> &excludedExtensions() const { return m_excludedExtensions; }

    // The text value of one row of "ItemTable", or none when the file is no readable database, the
    // row is missing or its value is null.
    static std::optional<QString> readValue(const QString &key, const QString &databasePath);

private:
    QList<VSCodeExcludedExtension> m_excludedExtensions;
};
