#include "Tapestrel/model/RecordForms.h"

#include "Tapestrel/model/CustomBackground.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

OptionForm OptionForm::fromJson(const JsonCoder::Json &json, const QString &what)
{
    JsonCoder::requireObject(json, what);
    return {JsonCoder::requiredString(json, "key", what), JsonCoder::requiredString(json, "value", what),
            JsonCoder::optionalBool(json, "isEnabled", true, what)};
}

ProfileForm ProfileForm::fromJson(const JsonCoder::Json &json)
{
    const QString what = QStringLiteral("profile");
    JsonCoder::requireObject(json, what);
    ProfileForm form {JsonCoder::requiredString(json, "uuid", what),
                      JsonCoder::requiredString(json, "name", what),
                      JsonCoder::optionalBool(json, "isEnabled", true, what),
                      {}};
    const JsonCoder::Json &options = JsonCoder::requiredArray(json, "options", what);
    form.options.reserve(qsizetype(options.size()));
    int index = 0;
    for (const JsonCoder::Json &entry : options) {
        ++index;
        try {
            form.options.append(OptionForm::fromJson(entry));
        } catch (const JsonDecodeError &) {
            // Named by its place only when it fails: formatting the name for every option costs
            // more than decoding it.
            OptionForm::fromJson(entry, QStringLiteral("option %1 of the profile").arg(index));
            throw;
        }
    }
    return form;
}

ProfileForm ProfileForm::of(const Profile &profile)
{
    ProfileForm form {profile.uuid(), profile.name(), profile.isEnabled(), {}};
    form.options.reserve(profile.options().size());
    for (const Option *option : profile.options())
        form.options.append({option->key(), option->value(), option->isEnabled()});
    return form;
}

BackgroundForm BackgroundForm::fromJson(const JsonCoder::Json &json)
{
    const QString what = QStringLiteral("custom background");
    JsonCoder::requireObject(json, what);
    BackgroundForm form {JsonCoder::requiredString(json, "uuid", what),
                         JsonCoder::requiredString(json, "kind", what),
                         JsonCoder::requiredString(json, "backgroundValue", what), std::nullopt};
    if (auto encoded = JsonCoder::optionalString(json, "bookmarkData", what)) {
        auto decoded =
            QByteArray::fromBase64Encoding(encoded->toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
        bool ascii = true;
        for (QChar c : *encoded)
            ascii = ascii && c.unicode() < 0x80;
        if (!decoded || !ascii || encoded->size() % 4 != 0)
            throw JsonDecodeError(
                QStringLiteral("The \"bookmarkData\" member of the %1 is not valid base64.").arg(what));
        form.bookmarkData = *decoded;
    }
    return form;
}

BackgroundForm BackgroundForm::of(const CustomBackground &background)
{
    return {background.uuid(), background.type(), background.backgroundValue(), background.bookmarkData()};
}
