#include "Tapestrel/model/Profile.h"

#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/KeyComparison.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/RecordForms.h"

#include <QUuid>

Profile::Profile(const QString &name)
    : m_uuid(newUuid())
    , m_name(name)
{ }

Profile::Profile(StoredRow)
{ }

Profile::~Profile()
{
    for (Option *option : std::as_const(m_options))
        option->m_profile = nullptr;
    for (CustomBackground *background : std::as_const(m_backgrounds))
        background->m_profiles.removeAll(this);
    m_options.clear();
    m_backgrounds.clear();
}

QString Profile::newUuid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

std::unique_ptr<Profile> Profile::copying(const Profile &source)
{
    auto copy = std::make_unique<Profile>(source.name());
    for (const Option *option : source.options()) {
        auto *copied = new Option(option->key(), option->value(), copy.get());
        // A duplicate must not switch on what the user switched off in the original.
        copied->m_isEnabled = option->isEnabled();
    }
    return copy;
}

void Profile::setUuid(const QString &uuid)
{
    if (m_uuid == uuid)
        return;
    m_uuid = uuid;
    markChanged(uuidField);
    emit uuidChanged();
}

void Profile::setName(const QString &name)
{
    if (m_name == name)
        return;
    m_name = name;
    markChanged(nameField);
    emit nameChanged();
}

void Profile::setEnabled(bool enabled)
{
    if (m_isEnabled == enabled)
        return;
    m_isEnabled = enabled;
    markChanged(enabledField);
    emit isEnabledChanged();
}

void Profile::setLoading(bool loading)
{
    if (m_isLoading == loading)
        return;
    m_isLoading = loading;
    emit isLoadingChanged();
}

QString Profile::value(const QString &key) const
{
    const Option *found = option(key);
    return found ? found->value() : QString();
}

Option *Profile::option(const QString &key) const
{
    for (Option *option : m_options) {
        if (ModelKeys::equal(option->key(), key))
            return option;
    }
    return nullptr;
}

Option *Profile::findOrCreateOption(const QString &key)
{
    if (Option *existing = option(key))
        return existing;
    return new Option(key, QString(), this);
}

void Profile::addBackground(CustomBackground *background)
{
    if (!background || m_backgrounds.contains(background))
        return;
    m_backgrounds.append(background);
    background->m_profiles.append(this);
    if (modelContext() && !background->modelContext())
        modelContext()->insert(background);
    backgroundLinksChanged(background, true);
    emit background->profilesChanged();
}

void Profile::removeBackground(CustomBackground *background)
{
    if (!background || !m_backgrounds.removeAll(background))
        return;
    background->m_profiles.removeAll(this);
    backgroundLinksChanged(background, false);
    emit background->profilesChanged();
}

void Profile::attachOption(Option *option)
{
    m_options.append(option);
    listChanged();
}

void Profile::detachOption(Option *option)
{
    if (m_options.removeAll(option))
        listChanged();
}

void Profile::listChanged()
{
    if (!isLoadingFromStore())
        m_optionOrderDirty = true;
    markChanged();
    emit optionsChanged();
}

void Profile::backgroundLinksChanged(CustomBackground *background, bool linked)
{
    if (!isLoadingFromStore()) {
        m_backgroundLinksDirty = true;
        // Undoing a change not yet saved leaves nothing to write.
        QList<QPointer<CustomBackground>> &undone = linked ? m_linksRemoved : m_linksAdded;
        if (!undone.removeAll(background))
            (linked ? m_linksAdded : m_linksRemoved).append(background);
    }
    markChanged();
    emit backgroundsChanged();
}

JsonCoder::Json Profile::toJson() const
{
    JsonCoder::Json json = JsonCoder::Json::object();
    json["uuid"] = JsonCoder::fromString(m_uuid);
    json["name"] = JsonCoder::fromString(m_name);
    JsonCoder::Json options = JsonCoder::Json::array();
    for (const Option *option : m_options)
        options.push_back(option->toJson());
    json["options"] = std::move(options);
    json["isEnabled"] = m_isEnabled;
    return json;
}

void Profile::appendJson(QByteArray &out) const
{
    out.append(R"({"uuid":)");
    JsonCoder::appendString(out, m_uuid);
    out.append(R"(,"name":)");
    JsonCoder::appendString(out, m_name);
    out.append(R"(,"options":[)");
    for (qsizetype i = 0; i < m_options.size(); ++i) {
        if (i > 0)
            out.append(',');
        m_options[i]->appendJson(out);
    }
    out.append(R"(],"isEnabled":)");
    JsonCoder::appendBool(out, m_isEnabled);
    out.append('}');
}

std::unique_ptr<Profile> Profile::fromJson(const JsonCoder::Json &json)
{
    ProfileForm form = ProfileForm::fromJson(json);
    auto profile = std::make_unique<Profile>();
    profile->m_uuid = std::move(form.uuid);
    profile->m_name = std::move(form.name);
    profile->m_isEnabled = form.isEnabled;
    for (const OptionForm &decoded : std::as_const(form.options)) {
        auto *option = new Option(decoded.key, decoded.value, profile.get());
        option->m_isEnabled = decoded.isEnabled;
    }
    profile->m_optionOrderDirty = false;
    return profile;
}
