#pragma once

#include "Tapestrel/model/JsonCoder.h"
#include "Tapestrel/model/ModelRecord.h"

#include <QList>
#include <QPointer>
#include <QString>

#include <memory>

class Option;
class CustomBackground;

// A named set of option values: the unit the user creates, edits, duplicates, applies and backs up.
// `uuid` is its identity for everything outside the store (schedules, the last applied profile,
// scripts); the store itself does not keep it unique.
class Profile : public ModelRecord
{
    Q_OBJECT
    Q_PROPERTY(QString uuid READ uuid WRITE setUuid NOTIFY uuidChanged)
    Q_PROPERTY(QString name READ name WRITE setName NOTIFY nameChanged)
    Q_PROPERTY(bool isEnabled READ isEnabled WRITE setEnabled NOTIFY isEnabledChanged)
    Q_PROPERTY(bool isLoading READ isLoading WRITE setLoading NOTIFY isLoadingChanged)

public:
    // A new profile with a fresh uuid, the given name, enabled, without options.
    explicit Profile(const QString &name = QString());
    ~Profile() override;

    // A fresh uuid, the source's name, and a new option for each of the source's options with its
    // key, value and enabled state, in order. The copy itself is enabled and links no backgrounds.
    static std::unique_ptr<Profile> copying(const Profile &source);

    // A new random UUID in its upper-case 36-character form.
    static QString newUuid();

    QString uuid() const { return m_uuid; }
    void setUuid(const QString &uuid);
    QString name() const { return m_name; }
    void setName(const QString &name);
    bool isEnabled() const { return m_isEnabled; }
    void setEnabled(bool enabled);
    // Transient: true while the profile is being filled from the current settings. Never stored.
    bool isLoading() const { return m_isLoading; }
    void setLoading(bool loading);

    const QList<Option *> &options() const { return m_options; }
    // The value of the first option with this key, enabled or not; the empty text when there is none.
    QString value(const QString &key) const;
    // The first option with this key, or null.
    Option *option(const QString &key) const;
    // The first option with this key; when there is none, a new enabled option with the empty value,
    // appended to the list (and inserted into the profile's context when it has one).
    Option *findOrCreateOption(const QString &key);

    // Custom backgrounds linked to the profile. Deleting either end leaves the other untouched.
    const QList<CustomBackground *> &backgrounds() const { return m_backgrounds; }
    void addBackground(CustomBackground *background);
    void removeBackground(CustomBackground *background);

    // {"uuid":…,"name":…,"options":[…],"isEnabled":…}
    JsonCoder::Json toJson() const;
    // Appends the bytes JsonCoder::encode(toJson()) writes, without building the document.
    void appendJson(QByteArray &out) const;
    // "uuid" and "name" are required texts, "options" a required array of option objects,
    // "isEnabled" an optional Boolean (true when absent). The uuid is kept as written. Throws
    // JsonDecodeError; nothing half-decoded is returned.
    static std::unique_ptr<Profile> fromJson(const JsonCoder::Json &json);

signals:
    void uuidChanged();
    void nameChanged();
    void isEnabledChanged();
    void isLoadingChanged();
    void optionsChanged();
    void backgroundsChanged();

private:
    friend class Option;
    friend class CustomBackground;
    friend class ModelContext;
    // The stored fields, in the order of their columns (see ModelRecord::markChanged()).
    static constexpr quint8 uuidField = 1;
    static constexpr quint8 nameField = 2;
    static constexpr quint8 enabledField = 4;
    // A profile for a stored row, filled by its context: no uuid of its own, which the row replaces.
    struct StoredRow
    {
    };
    explicit Profile(StoredRow);
    void attachOption(Option *option);
    void detachOption(Option *option);
    void listChanged();
    void backgroundLinksChanged(CustomBackground *background, bool linked);

    QString m_uuid;
    QString m_name;
    bool m_isEnabled = true;
    bool m_isLoading = false;
    QList<Option *> m_options;
    QList<CustomBackground *> m_backgrounds;
    bool m_optionOrderDirty = false;
    bool m_backgroundLinksDirty = false;
    // The links made and undone here since the last save: a save writes these alone, so that links
    // another writer made or undid meanwhile stay as it left them.
    QList<QPointer<CustomBackground>> m_linksAdded;
    QList<QPointer<CustomBackground>> m_linksRemoved;
};
