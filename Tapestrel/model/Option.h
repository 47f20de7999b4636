#pragma once

#include "Tapestrel/model/JsonCoder.h"
#include "Tapestrel/model/ModelRecord.h"

#include <QPointer>
#include <QString>

#include <memory>

class Profile;

// One option value of a profile: the option identifier, its value as text and whether it takes part
// when the profile is applied. The option and its profile's list always agree: setting the profile
// moves the option into that profile's list, at its end, exactly once.
class Option : public ModelRecord
{
    Q_OBJECT
    Q_PROPERTY(QString key READ key WRITE setKey NOTIFY keyChanged)
    Q_PROPERTY(QString value READ value WRITE setValue NOTIFY valueChanged)
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setEnabled NOTIFY isEnabledChanged)

public:
    // Enabled, owned by `profile` (appended to its list) when one is given.
    explicit Option(const QString &key = QString(), const QString &value = QString(),
                    Profile *profile = nullptr);
    ~Option() override;

    QString key() const { return m_key; }
    void setKey(const QString &key);
    QString value() const { return m_value; }
    void setValue(const QString &value);
    bool isEnabled() const { return m_isEnabled; }
    void setEnabled(bool enabled);
    Profile *profile() const { return m_profile; }
    void setProfile(Profile *profile);

    // {"key":…,"value":…,"isEnabled":…}
    JsonCoder::Json toJson() const;
    // Appends the bytes JsonCoder::encode(toJson()) writes, without building the document.
    void appendJson(QByteArray &out) const;
    // "key" and "value" are required texts, "isEnabled" an optional Boolean (true when absent). The
    // decoded option belongs to no profile. Throws JsonDecodeError.
    static std::unique_ptr<Option> fromJson(const JsonCoder::Json &json,
                                            const QString &what = QStringLiteral("option"));

signals:
    void keyChanged();
    void valueChanged();
    void isEnabledChanged();
    void profileChanged();

private:
    friend class Profile;
    friend class ModelContext;
    // The stored fields, in the order of their columns (see ModelRecord::markChanged()); the profile
    // and the place in its list are one.
    static constexpr quint8 keyField = 1;
    static constexpr quint8 valueField = 2;
    static constexpr quint8 enabledField = 4;
    static constexpr quint8 placeField = 8;
    QString m_key;
    QString m_value;
    bool m_isEnabled = true;
    QPointer<Profile> m_profile;
};
