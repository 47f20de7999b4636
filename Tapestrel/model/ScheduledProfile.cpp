#include "Tapestrel/model/ScheduledProfile.h"

namespace {

// The instant at which the wall clock in `zone` shows `time` on `date`, or nothing when the day
// skips that time. Of two instants showing it (the repeated hour when clocks go back) the earlier.
std::optional<QDateTime> wallClockInstant(QDate date, QTime time, const QTimeZone &zone)
{
    const QDateTime startOfDay = date.startOfDay(zone);
    const QDateTime endOfDay = date.endOfDay(zone);
    const QDateTime asUtc(date, time, Qt::UTC);
    std::optional<QDateTime> earliest;
    for (int offset : {zone.offsetFromUtc(startOfDay), zone.offsetFromUtc(endOfDay)}) {
        const QDateTime candidate = asUtc.addSecs(-offset);
        const QDateTime local = candidate.toTimeZone(zone);
        if (local.date() == date && local.time() == time && (!earliest || candidate < *earliest))
            earliest = candidate;
    }
    if (earliest)
        return earliest->toTimeZone(zone);
    return std::nullopt;
}

// The entry's time on `date`; inside a daylight-saving gap, the first instant after the gap.
std::optional<QDateTime> dueOn(QDate date, QTime time, const QTimeZone &zone)
{
    if (auto exact = wallClockInstant(date, time, zone))
        return exact;
    const QDateTime wanted(date, time, Qt::UTC);
    for (const QTimeZone::OffsetData &transition :
         zone.transitions(date.startOfDay(zone).addSecs(-1), date.endOfDay(zone))) {
        const QDateTime after = transition.atUtc.toTimeZone(zone);
        if (after.date() == date && QDateTime(after.date(), after.time(), Qt::UTC) > wanted)
            return after;
    }
    return std::nullopt;
}

} // namespace

std::optional<QDateTime> ScheduledProfile::nextFireDate(const QDateTime &now, const QTimeZone &zone) const
{
    if (!isEnabled || hour < 0 || hour > 23 || minute < 0 || minute > 59 || !zone.isValid())
        return std::nullopt;
    const QTime time{int(hour), int(minute)};
    const QDate today = now.toTimeZone(zone).date();
    if (auto due = dueOn(today, time, zone); due && *due > now)
        return due;
    // Tomorrow's date comes from the entry's own time, not from today's possibly shifted one.
    return dueOn(today.addDays(1), time, zone);
}

JsonCoder::Json ScheduledProfile::toJson() const
{
    JsonCoder::Json json = JsonCoder::Json::object();
    json["id"] = JsonCoder::fromString(id);
    json["profileID"] = JsonCoder::fromString(profileID);
    json["hour"] = hour;
    json["minute"] = minute;
    json["isEnabled"] = isEnabled;
    return json;
}

ScheduledProfile ScheduledProfile::fromJson(const JsonCoder::Json &json)
{
    const QString what = QStringLiteral("scheduled profile");
    JsonCoder::requireObject(json, what);
    ScheduledProfile entry;
    entry.id = JsonCoder::requiredString(json, "id", what);
    entry.profileID = JsonCoder::requiredString(json, "profileID", what);
    entry.hour = JsonCoder::requiredInteger(json, "hour", what);
    entry.minute = JsonCoder::requiredInteger(json, "minute", what);
    entry.isEnabled = JsonCoder::requiredBool(json, "isEnabled", what);
    return entry;
}

QByteArray ScheduledProfile::encodeList(const QList<ScheduledProfile> &entries)
{
    JsonCoder::Json array = JsonCoder::Json::array();
    for (const ScheduledProfile &entry : entries)
        array.push_back(entry.toJson());
    return JsonCoder::encode(array);
}

QList<ScheduledProfile> ScheduledProfile::decodeList(const QByteArray &bytes)
{
    const JsonCoder::Json json = JsonCoder::decode(bytes);
    if (!json.is_array())
        throw JsonDecodeError(QStringLiteral("The schedule must be a JSON array."));
    QList<ScheduledProfile> entries;
    for (const JsonCoder::Json &entry : json)
        entries.append(fromJson(entry));
    return entries;
}

size_t qHash(const ScheduledProfile &entry, size_t seed)
{
    return qHashMulti(seed, entry.id, entry.profileID, entry.hour, entry.minute, entry.isEnabled);
}
