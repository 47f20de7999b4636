#pragma once

#include "KivDesktopBackground/Background.h"
#include "Tapestrel/model/JsonCoder.h"
#include "Tapestrel/model/ModelRecord.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>
#include <optional>

class Profile;

// A background of the user's own library: a colour, a gradient or an image, kept as the JSON text
// of the background value, with room for bookmark data of an image file.
class CustomBackground : public ModelRecord
{
    Q_OBJECT
    Q_PROPERTY(QString uuid READ uuid WRITE setUuid NOTIFY uuidChanged)
    Q_PROPERTY(QString type READ type WRITE setType NOTIFY typeChanged)
    Q_PROPERTY(
        QString backgroundValue READ backgroundValue WRITE setBackgroundValue NOTIFY backgroundValueChanged)

public:
    enum class Kind { Color, Gradient, Image };
    static QString toRawValue(Kind kind);
    static std::optional<Kind> fromRawValue(const QString &text);

    CustomBackground(Kind kind, const QString &backgroundValue,
                     const std::optional<QByteArray> &bookmarkData = std::nullopt);
    ~CustomBackground() override;

    QString uuid() const { return m_uuid; }
    void setUuid(const QString &uuid);
    // The kind's text; a text of an unknown kind read from JSON is kept as it stands.
    QString type() const { return m_type; }
    void setType(const QString &type);
    std::optional<Kind> kind() const { return fromRawValue(m_type); }
    QString backgroundValue() const { return m_backgroundValue; }
    void setBackgroundValue(const QString &value);
    std::optional<QByteArray> bookmarkData() const { return m_bookmarkData; }
    // The background decoded from backgroundValue at every call; none when it does not decode.
    std::optional<KivDesktopBackground::Background> background() const;
    void setBookmarkData(const std::optional<QByteArray> &data);

    // The profiles that link this background (see Profile::addBackground).
    const QList<Profile *> &profiles() const { return m_profiles; }

    // {"uuid":…,"kind":…,"backgroundValue":…[,"bookmarkData":base64]}
    JsonCoder::Json toJson() const;
    // Appends the bytes JsonCoder::encode(toJson()) writes, without building the document.
    void appendJson(QByteArray &out) const;
    // "uuid", "kind" and "backgroundValue" are required texts; "bookmarkData" optional standard
    // base64. Throws JsonDecodeError.
    static std::unique_ptr<CustomBackground> fromJson(const JsonCoder::Json &json);

signals:
    void uuidChanged();
    void typeChanged();
    void backgroundValueChanged();
    void bookmarkDataChanged();
    void profilesChanged();

private:
    friend class Profile;
    friend class ModelContext;
    // The stored fields, in the order of their columns (see ModelRecord::markChanged()).
    static constexpr quint8 uuidField = 1;
    static constexpr quint8 typeField = 2;
    static constexpr quint8 valueField = 4;
    static constexpr quint8 bookmarkField = 8;
    CustomBackground();

    QString m_uuid;
    QString m_type;
    QString m_backgroundValue;
    std::optional<QByteArray> m_bookmarkData;
    QList<Profile *> m_profiles;
};
