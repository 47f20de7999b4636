#pragma once

#include "Tapestrel/model/JsonCoder.h"

#include <QDateTime>
#include <QHashFunctions>
#include <QList>
#include <QString>
#include <QTimeZone>

#include <optional>

// One entry of the daily schedule: apply the profile with `profileID` every day at hour:minute.
struct ScheduledProfile
{
    QString id;
    QString profileID;
    qint64 hour = 0;
    qint64 minute = 0;
    bool isEnabled = true;

    bool operator==(const ScheduledProfile &) const = default;

    // When the entry is next due after `now`, in `zone`: today at hour:minute when that is still
    // ahead, otherwise tomorrow at hour:minute. A time that a daylight-saving jump skips gives the
    // first time after the jump; a time that occurs twice gives its first occurrence. None when the
    // entry is disabled or hour or minute is out of range.
    std::optional<QDateTime> nextFireDate(const QDateTime &now = QDateTime::currentDateTime(),
                                          const QTimeZone &zone = QTimeZone::systemTimeZone()) const;

    // {"id":…,"profileID":…,"hour":…,"minute":…,"isEnabled":…}; every member required on reading.
    JsonCoder::Json toJson() const;
    static ScheduledProfile fromJson(const JsonCoder::Json &json);
    // The schedule as the compact JSON array the cloud store keeps, and back (throws JsonDecodeError).
    static QByteArray encodeList(const QList<ScheduledProfile> &entries);
    static QList<ScheduledProfile> decodeList(const QByteArray &bytes);
};

size_t qHash(const ScheduledProfile &entry, size_t seed = 0);
