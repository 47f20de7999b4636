#pragma once

#include "KivWhatsNew/Release.h"

#include <QByteArray>
#include <QJsonObject>

namespace KivWhatsNew {

// Every release of the application, oldest first.
class ReleaseStore
{
public:
    // Sorts the releases by version (stable: releases neither older nor newer than each other keep
    // their order) and checks that no two changes share an id; duplicates stop the program with
    // "Cannot load releases. Changes IDs are not unique!".
    explicit ReleaseStore(QList<Release> releases);

    // The stored form {"releases": [...]}: taken as it stands, neither sorted nor checked. Throws
    // std::runtime_error when it does not decode.
    static ReleaseStore fromJson(const QJsonObject &object);
    // A releases file: a JSON array of releases. Throws std::runtime_error when it does not decode.
    static QList<Release> releasesFromJson(const QByteArray &json);

    QList<Release> releases;

    void validateChangeIDs() const;
    // Whether the changes of all releases have distinct ids.
    bool hasUniqueChangeIDs() const;

    // The release just before or after the one with the same version (text and components); none
    // at either end or when the version is not in the store.
    std::optional<Release> releaseBefore(const Release &release) const;
    std::optional<Release> releaseAfter(const Release &release) const;

private:
    ReleaseStore() = default;
    qsizetype indexOf(const Release &release) const;
};

} // namespace KivWhatsNew
