#pragma once

#include "KivUtilities/Version.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace KivUtilities {

// Remembers which version of the program was the first one installed here, so that a fresh
// installation can be told from an update. The version is the application's version text
// (QCoreApplication::applicationVersion(); none when it is empty). Stored and current versions are
// compared as texts: "1.2" and "1.2.0" differ.
class UpdateDetector
{
public:
    using VersionSource = std::function<std::optional<QString>()>;

    static inline const QString defaultKey = QStringLiteral("FirstInstalledVersion");
    static inline const QString unknownVersion = QStringLiteral("Unknown");

    // The version source stands in for the application's version (tests use it).
    explicit UpdateDetector(QString firstInstalledVersionKey = defaultKey, VersionSource versionSource = {});

    // The process-wide detector (key "FirstInstalledVersion"), made on first use; it can be replaced.
    static UpdateDetector &shared();
    static void setShared(std::unique_ptr<UpdateDetector> detector);

    QString firstInstalledVersionKey() const { return m_key; }
    bool wasInitialized() const { return m_wasInitialized; }

    // The running version, when it can be read.
    std::optional<Version> currentVersion() const;

    // Records the first installed version when the standard user defaults hold nothing under the
    // marker key (a key a fresh installation has not written yet).
    void initialize(const QString &markerKey);
    // Stores the running version's text, or "Unknown" when it cannot be read, replacing any value.
    void storeCurrentVersionAsFirstInstalled();
    // False when the running version cannot be read; true when nothing is stored; otherwise whether
    // the texts differ.
    bool differsFromFirstInstalledVersion() const;
    // True when nothing is stored or the running version cannot be read; otherwise whether the texts
    // differ.
    bool isNotFirstInstalledVersion() const;

private:
    std::optional<QString> storedText() const;

    QString m_key;
    VersionSource m_versionSource;
    bool m_wasInitialized = false;
};

} // namespace KivUtilities
