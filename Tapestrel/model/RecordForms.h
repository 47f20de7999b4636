#pragma once

#include "Tapestrel/model/JsonCoder.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

class Profile;
class CustomBackground;

// What an option, a profile and a custom background hold, as plain values: the JSON forms of the
// records, which restores and imports decode, compare and store without making a record, on any
// thread. Two forms are equal when every field is.
struct OptionForm
{
    QString key;
    QString value;
    bool isEnabled = true;

    friend bool operator==(const OptionForm &, const OptionForm &) = default;

    // As Option::fromJson.
    static OptionForm fromJson(const JsonCoder::Json &json, const QString &what = QStringLiteral("option"));
};

struct ProfileForm
{
    QString uuid;
    QString name;
    bool isEnabled = true;
    QList<OptionForm> options;

    friend bool operator==(const ProfileForm &, const ProfileForm &) = default;

    // As Profile::fromJson.
    static ProfileForm fromJson(const JsonCoder::Json &json);
    static ProfileForm of(const Profile &profile);
};

struct BackgroundForm
{
    QString uuid;
    QString type;
    QString backgroundValue;
    std::optional<QByteArray> bookmarkData;

    friend bool operator==(const BackgroundForm &, const BackgroundForm &) = default;

    // As CustomBackground::fromJson.
    static BackgroundForm fromJson(const JsonCoder::Json &json);
    static BackgroundForm of(const CustomBackground &background);
};
