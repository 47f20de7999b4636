#include "Tapestrel/apps/vscode/VSCodeProfileSettingsController.h"

#include "Tapestrel/apps/frame/AppFiles.h"
#include "Tapestrel/apps/vscode/JsonWithCommentsDocument.h"
#include "Tapestrel/apps/vscode/VSCodeLocations.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonObject>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("VSCodeProfileSettingsController", text);
}

// The settings file parsed as an object, or the message that says why it is not one.
std::optional<JsonWithCommentsDocument> readObject(const QString &path, QString *error)
{
    QString reason;
    auto document =
        JsonWithCommentsDocument::parseFile(path, JsonWithCommentsDocument::Dialect::WithComments, &reason);
    if (document && !document->isObject()) {
        document.reset();
        reason = tr("its top level is not a JSON object");
    }
    if (!document && error)
        *error = tr("The VS Code settings file “%1” cannot be read: %2.").arg(path, reason);
    return document;
}

std::optional<QString> textOf(const QJsonValue &value)
{
    return value.isString() ? std::optional<QString>(value.toString()) : std::nullopt;
}

} // namespace

VSCodeProfileSettings VSCodeProfileSettingsController::settingsOf(const QJsonObject &object)
{
    VSCodeProfileSettings settings;
    settings.darkTheme = textOf(object.value(VSCodeProfileSettings::darkThemeKey));
    settings.lightTheme = textOf(object.value(VSCodeProfileSettings::lightThemeKey));
    settings.colorTheme = textOf(object.value(VSCodeProfileSettings::colorThemeKey));
    const QJsonValue autoDetect = object.value(VSCodeProfileSettings::autoDetectColorSchemeKey);
    if (autoDetect.isBool())
        settings.autoDetectColorScheme = autoDetect.toBool();
    return settings;
}

std::optional<VSCodeProfileSettingsController>
VSCodeProfileSettingsController::open(const VSCodeProfile &profile, QString *error)
{
    const auto path = VSCodeLocations::settingsPath(profile);
    if (!path)
        return std::nullopt;
    return openFile(*path, error);
}

std::optional<VSCodeProfileSettingsController> VSCodeProfileSettingsController::openFile(const QString &path,
                                                                                         QString *error)
{
    const auto document = readObject(path, error);
    if (!document)
        return std::nullopt;
    VSCodeProfileSettingsController controller;
    controller.m_path = path;
    controller.m_read = settingsOf(document->value().toObject());
    controller.settings = controller.m_read;
    return controller;
}

std::optional<QString> VSCodeProfileSettingsController::save() const
{
    struct Change
    {
        QString key;
        QJsonValue value;
    };
    QList<Change> changes;
    auto compare = [&changes](const QString &key, const auto &now, const auto &before) {
        if (now && now != before)
            changes.append({key, QJsonValue(*now)});
    };
    compare(VSCodeProfileSettings::darkThemeKey, settings.darkTheme, m_read.darkTheme);
    compare(VSCodeProfileSettings::lightThemeKey, settings.lightTheme, m_read.lightTheme);
    compare(VSCodeProfileSettings::colorThemeKey, settings.colorTheme, m_read.colorTheme);
    compare(VSCodeProfileSettings::autoDetectColorSchemeKey, settings.autoDetectColorScheme,
            m_read.autoDetectColorScheme);
    if (changes.isEmpty())
        return std::nullopt;

    // The file as it is now, so that a change VS Code made since it was read is kept.
    QString error;
    auto document = readObject(m_path, &error);
    if (!document)
        return error;
    for (const Change &change : changes) {
        const QByteArray bytes = document->withMember(change.key, change.value);
        document = JsonWithCommentsDocument::parse(bytes, JsonWithCommentsDocument::Dialect::WithComments);
        if (!document) // cannot happen: the edit keeps the document valid
            return tr("The VS Code settings file “%1” could not be changed.").arg(m_path);
    }
    return writeAtomically(m_path, document->bytes());
}

std::optional<QString> VSCodeProfileSettingsController::writeAtomically(const QString &path,
                                                                        const QByteArray &bytes)
{
    if (const auto reason = AppFiles::writeAtomically(path, bytes))
        return tr("The VS Code settings file “%1” could not be written: %2.").arg(path, *reason);
    return std::nullopt;
}
