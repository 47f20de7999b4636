#include "Tapestrel/apps/vscode/VSCodeProfileSettingsController.h"

#include "Tapestrel/apps/vscode/JsonWithCommentsDocument.h"
#include "Tapestrel/apps/vscode/VSCodeLocations.h"

#include "platform/AtomicFile.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonObject>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("VSCodeProfileSettingsController", text);
}

QString unreadable(const QString &path, const QString &reason)
{
    return tr("The VS Code settings file “%1” cannot be read: %2.").arg(path, reason);
}

// The settings parsed as an object, or the reason why they are not one.
std::optional<JsonWithCommentsDocument> parseObject(const QByteArray &bytes, QString *reason)
{
    auto document =
        JsonWithCommentsDocument::parse(bytes, JsonWithCommentsDocument::Dialect::WithComments, reason);
    if (document && !document->isObject()) {
        document.reset();
        *reason = tr("its top level is not a JSON object");
    }
    return document;
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
        *error = unreadable(path, reason);
    return document;
}

// Whether the bytes may be an editor's save in place caught half way: they hold no settings at all
// (nothing, blanks or comments) or do not parse.
bool looksUnfinished(const QByteArray &bytes)
{
    const auto document =
        JsonWithCommentsDocument::parse(bytes, JsonWithCommentsDocument::Dialect::WithComments);
    return !document || document->holdsNothing();
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
    if (settings == m_read)
        return std::nullopt;
    // The settings that were changed, set again on what the file holds when it is written, so that a
    // change VS Code made since it was read is kept.
    const VSCodeProfileSettings read = m_read;
    const VSCodeProfileSettings wanted = settings;
    return edit(m_path, [&read, &wanted](VSCodeProfileSettings &current) {
        auto take = [](auto &field, const auto &now, const auto &before) {
            if (now && now != before)
                field = now;
        };
        take(current.darkTheme, wanted.darkTheme, read.darkTheme);
        take(current.lightTheme, wanted.lightTheme, read.lightTheme);
        take(current.colorTheme, wanted.colorTheme, read.colorTheme);
        take(current.autoDetectColorScheme, wanted.autoDetectColorScheme, read.autoDetectColorScheme);
    });
}

std::optional<QString> VSCodeProfileSettingsController::edit(const QString &path, const Change &change)
{
    std::optional<QString> error;
    const auto failure = Platform::AtomicFile::edit(
        path, JsonReadLimits().maxBytes,
        [&](const Platform::AtomicFile::Content &content) -> std::optional<QByteArray> {
            error.reset();
            QString reason;
            // A missing file is made, as VS Code makes it when a first setting is changed.
            auto document = parseObject(content.exists ? content.bytes : QByteArrayLiteral("{\n}"), &reason);
            if (!document) {
                error = unreadable(path, reason);
                return std::nullopt;
            }
            const VSCodeProfileSettings before = settingsOf(document->value().toObject());
            VSCodeProfileSettings after = before;
            change(after);
            // A setting changed to none stays in the file as it is.
            QList<std::pair<QString, QJsonValue>> changes;
            auto compare = [&changes](const QString &key, const auto &now, const auto &then) {
                if (now && now != then)
                    changes.append({key, QJsonValue(*now)});
            };
            compare(VSCodeProfileSettings::darkThemeKey, after.darkTheme, before.darkTheme);
            compare(VSCodeProfileSettings::lightThemeKey, after.lightTheme, before.lightTheme);
            compare(VSCodeProfileSettings::colorThemeKey, after.colorTheme, before.colorTheme);
            compare(VSCodeProfileSettings::autoDetectColorSchemeKey, after.autoDetectColorScheme,
                    before.autoDetectColorScheme);
            if (!content.exists && changes.isEmpty())
                return std::nullopt;
            for (const auto &[key, value] : std::as_const(changes)) {
                document = JsonWithCommentsDocument::parse(document->withMember(key, value),
                                                           JsonWithCommentsDocument::Dialect::WithComments);
                if (!document) { // cannot happen: the edit keeps the document valid
                    error = tr("The VS Code settings file “%1” could not be changed.").arg(path);
                    return std::nullopt;
                }
            }
            return document->bytes();
        },
        &looksUnfinished);
    if (failure) {
        if (failure->error == QFileDevice::ReadError)
            return unreadable(path, failure->reason);
        return tr("The VS Code settings file “%1” could not be written: %2.").arg(path, failure->reason);
    }
    return error;
}
