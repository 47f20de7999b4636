#include "Tapestrel/model/Option.h"

#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/RecordForms.h"

Option::Option(const QString &key, const QString &value, Profile *profile)
    : m_key(key)
    , m_value(value)
{
    if (profile)
        setProfile(profile);
}

Option::~Option()
{
    if (m_profile) {
        Profile *profile = m_profile;
        m_profile = nullptr;
        profile->detachOption(this);
    }
}

void Option::setKey(const QString &key)
{
    if (m_key == key)
        return;
    m_key = key;
    markChanged(keyField);
    emit keyChanged();
}

void Option::setValue(const QString &value)
{
    if (m_value == value)
        return;
    m_value = value;
    markChanged(valueField);
    emit valueChanged();
}

void Option::setEnabled(bool enabled)
{
    if (m_isEnabled == enabled)
        return;
    m_isEnabled = enabled;
    markChanged(enabledField);
    emit isEnabledChanged();
}

void Option::setProfile(Profile *profile)
{
    if (m_profile == profile)
        return;
    Profile *old = m_profile;
    m_profile = profile;
    if (old)
        old->detachOption(this);
    if (profile)
        profile->attachOption(this);
    if (!modelContext()) {
        // Outside a store the profile owns its options, so dropping a new profile frees them too.
        setParent(profile);
        if (profile && profile->modelContext())
            profile->modelContext()->insert(this);
    }
    markChanged(placeField);
    emit profileChanged();
}

JsonCoder::Json Option::toJson() const
{
    JsonCoder::Json json = JsonCoder::Json::object();
    json["key"] = JsonCoder::fromString(m_key);
    json["value"] = JsonCoder::fromString(m_value);
    json["isEnabled"] = m_isEnabled;
    return json;
}

void Option::appendJson(QByteArray &out) const
{
    out.append(R"({"key":)");
    JsonCoder::appendString(out, m_key);
    out.append(R"(,"value":)");
    JsonCoder::appendString(out, m_value);
    out.append(R"(,"isEnabled":)");
    JsonCoder::appendBool(out, m_isEnabled);
    out.append('}');
}

std::unique_ptr<Option> Option::fromJson(const JsonCoder::Json &json, const QString &what)
{
    const OptionForm form = OptionForm::fromJson(json, what);
    auto option = std::make_unique<Option>(form.key, form.value);
    option->m_isEnabled = form.isEnabled;
    return option;
}
