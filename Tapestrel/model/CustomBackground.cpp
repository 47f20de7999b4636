#include "Tapestrel/model/CustomBackground.h"

#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/RecordForms.h"

CustomBackground::CustomBackground()
    : m_uuid(Profile::newUuid())
    , m_type(toRawValue(Kind::Color))
{ }

CustomBackground::CustomBackground(Kind kind, const QString &backgroundValue,
                                   const std::optional<QByteArray> &bookmarkData)
    : m_uuid(Profile::newUuid())
    , m_type(toRawValue(kind))
    , m_backgroundValue(backgroundValue)
    , m_bookmarkData(bookmarkData)
{ }

CustomBackground::~CustomBackground()
{
    // Unlinking changes no profile's own fields: the profile simply no longer lists it.
    const QList<Profile *> profiles = m_profiles;
    m_profiles.clear();
    for (Profile *profile : profiles) {
        profile->m_backgrounds.removeAll(this);
        emit profile->backgroundsChanged();
    }
}

QString CustomBackground::toRawValue(Kind kind)
{
    switch (kind) {
    case Kind::Color:
        return QStringLiteral("color");
    case Kind::Gradient:
        return QStringLiteral("gradient");
    case Kind::Image:
        return QStringLiteral("image");
    }
    return QString();
}

std::optional<CustomBackground::Kind> CustomBackground::fromRawValue(const QString &text)
{
    for (Kind kind : {Kind::Color, Kind::Gradient, Kind::Image}) {
        if (toRawValue(kind) == text)
            return kind;
    }
    return std::nullopt;
}

std::optional<KivDesktopBackground::Background> CustomBackground::background() const
{
    return KivDesktopBackground::Background::fromRawValue(m_backgroundValue);
}

void CustomBackground::setUuid(const QString &uuid)
{
    if (m_uuid == uuid)
        return;
    m_uuid = uuid;
    markChanged(uuidField);
    emit uuidChanged();
}

void CustomBackground::setType(const QString &type)
{
    if (m_type == type)
        return;
    m_type = type;
    markChanged(typeField);
    emit typeChanged();
}

void CustomBackground::setBackgroundValue(const QString &value)
{
    if (m_backgroundValue == value)
        return;
    m_backgroundValue = value;
    markChanged(valueField);
    emit backgroundValueChanged();
}

void CustomBackground::setBookmarkData(const std::optional<QByteArray> &data)
{
    if (m_bookmarkData == data)
        return;
    m_bookmarkData = data;
    markChanged(bookmarkField);
    emit bookmarkDataChanged();
}

JsonCoder::Json CustomBackground::toJson() const
{
    JsonCoder::Json json = JsonCoder::Json::object();
    json["uuid"] = JsonCoder::fromString(m_uuid);
    json["kind"] = JsonCoder::fromString(m_type);
    json["backgroundValue"] = JsonCoder::fromString(m_backgroundValue);
    if (m_bookmarkData)
        json["bookmarkData"] = m_bookmarkData->toBase64().toStdString();
    return json;
}

void CustomBackground::appendJson(QByteArray &out) const
{
    out.append(R"({"uuid":)");
    JsonCoder::appendString(out, m_uuid);
    out.append(R"(,"kind":)");
    JsonCoder::appendString(out, m_type);
    out.append(R"(,"backgroundValue":)");
    JsonCoder::appendString(out, m_backgroundValue);
    if (m_bookmarkData) {
        out.append(R"(,"bookmarkData":)");
        JsonCoder::appendString(out, QByteArrayView(m_bookmarkData->toBase64()));
    }
    out.append('}');
}

std::unique_ptr<CustomBackground> CustomBackground::fromJson(const JsonCoder::Json &json)
{
    BackgroundForm form = BackgroundForm::fromJson(json);
    std::unique_ptr<CustomBackground> background(new CustomBackground());
    background->m_uuid = std::move(form.uuid);
    background->m_type = std::move(form.type);
    background->m_backgroundValue = std::move(form.backgroundValue);
    background->m_bookmarkData = std::move(form.bookmarkData);
    return background;
}
