#pragma once

#include <QCoro/QCoroTask>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <stdexcept>

class QWidget;
class Option;
class Profile;

// One option of a profile: the identifier under which profiles store it, where it is shown, the
// widget that edits it, and how its value text reaches the system or another application and is
// read back.
class OptionModel
{
public:
    virtual ~OptionModel();

    // The path shown for the option: group ("System", "Apps", "Tools"), area or application, title.
    virtual QStringList displayPath() const = 0;
    // A display path as one line of translated text: "Apps › Alfred › Theme".
    static QString displayPathText(const QStringList &path);
    // The option identifier; the same text is the model's id.
    virtual QString key() const = 0;
    QString id() const { return key(); }

    // The widget that edits the option's value. The profile is handed in because a picker may show
    // other options of it.
    virtual QWidget *makePicker(Option *option, Profile *profile, QWidget *parent) = 0;

    // Applies a value text. A model that needs the Dock restarted once the whole profile has been
    // applied sets *needsDockRestart to true (it never clears it). Throws when the value cannot be
    // applied.
    virtual QCoro::Task<void> apply(QString value, QPointer<Profile> profile,
                                    std::shared_ptr<bool> needsDockRestart) = 0;

    // The system's current value as option text, or nothing when it cannot be read. Options read
    // earlier in registry order are already stored in the profile.
    virtual QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile> profile) = 0;

    // A widget shown beside the picker; none by default.
    virtual QWidget *accessoryView(QWidget *parent);
};

// The error an option model throws when it cannot apply a value.
class OptionModelError : public std::runtime_error
{
public:
    OptionModelError(QString key, QString message);

    QString key() const { return m_key; }
    QString message() const { return m_message; }

    // A stored value that is none of the option's values (a profile edited by hand, or by a later
    // version): "The profile holds “<value>”, which is not a value of this setting."
    static OptionModelError unreadableValue(const QString &key, const QString &value);

    static constexpr const char *domain = "com.quorvane.Tapestrel.Errors";

private:
    QString m_key;
    QString m_message;
};

// The error an option model throws when a later apply took the place of its value before the value took
// effect (a picture still being decoded when another profile was applied): not a failure of the value.
class OptionSupersededError : public OptionModelError
{
public:
    explicit OptionSupersededError(QString key);
};

// What a stored value decodes to; nothing for the empty text, which sets nothing. A text that does
// not decode is the option's failure, not a setting the profile leaves alone: throws
// OptionModelError::unreadableValue().
template<typename T>
std::optional<T> decodedOptionValue(const QString &key, const QString &value, std::optional<T> decoded)
{
    if (!decoded && !value.isEmpty())
        throw OptionModelError::unreadableValue(key, value);
    return decoded;
}
