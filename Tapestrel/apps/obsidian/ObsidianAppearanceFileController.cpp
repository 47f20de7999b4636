#include "Tapestrel/apps/obsidian/ObsidianAppearanceFileController.h"

#include "Tapestrel/apps/obsidian/ObsidianSelectedVaultController.h"
#include "Tapestrel/model/OptionModel.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

#include <exception>

namespace {

std::optional<QString> textMember(const JSONController::Json &object, const char *name)
{
    const auto member = object.find(name);
    if (member == object.end() || !member->is_string())
        return std::nullopt;
    return QString::fromStdString(member->get<std::string>());
}

void setTextMember(JSONController::Json &object, const char *name, const QString &value, const QString &path)
{
    const auto member = object.find(name);
    if (member != object.end() && !member->is_string() && !member->is_null())
        throw JSONFileError(path,
                            QCoreApplication::translate("ObsidianAppearanceFileController",
                                                        "The file “%1” holds “%2” in a form that Obsidian "
                                                        "does not write, so it was left unchanged.")
                                .arg(path, QLatin1String(name)));
    object[name] = value.toStdString();
}

// Sets the members that have a value in the file as it is when it is written; the object the file
// holds afterwards, none when there is no file.
std::optional<JSONController::Json> setMembers(const QString &path, const ObsidianAppearanceFile &values)
{
    return JSONController::edit(path, [&path, &values](JSONController::Json &json) {
        // A member the program does not overwrite refuses the whole edit: nothing is written.
        if (values.accentColor)
            setTextMember(json, ObsidianAppearanceFileController::accentColorMember, *values.accentColor,
                          path);
        if (values.cssTheme)
            setTextMember(json, ObsidianAppearanceFileController::cssThemeMember, *values.cssTheme, path);
    });
}

using Member = ObsidianAppearanceFileController::Member;

std::optional<QString> &field(ObsidianAppearanceFile &appearance, Member member)
{
    return member == Member::accentColor ? appearance.accentColor : appearance.cssTheme;
}

// The error text of a failed write, or nothing.
std::optional<QString> writeNow(Member member, const QString &value)
{
    try {
        const std::optional<ObsidianVault> vault = ObsidianSelectedVaultController::resolve();
        if (!vault)
            return std::nullopt;
        // A vault that has no appearance file yet gets one, as Obsidian makes it on a first change; one
        // without Obsidian's folder is no vault Obsidian opened, and the user learns why nothing changed.
        const QString folder = QDir(vault->path).filePath(QStringLiteral(".obsidian"));
        if (!QFileInfo(folder).isDir()) {
            return QCoreApplication::translate(
                       "ObsidianAppearanceFileController",
                       "The vault “%1” has no folder “%2”, so its appearance was not set.")
                .arg(vault->name, folder);
        }
        ObsidianAppearanceFile values;
        field(values, member) = value;
        setMembers(QDir(vault->path).filePath(ObsidianAppearanceFileController::relativePath), values);
        return std::nullopt;
    } catch (const JSONFileError &error) {
        return error.message();
    }
}

std::optional<QString> readNow(Member member)
{
    std::optional<ObsidianAppearanceFileController> controller = ObsidianAppearanceFileController::load();
    if (!controller)
        return std::nullopt;
    return field(controller->appearance, member);
}

} // namespace

QCoro::Task<void> ObsidianAppearanceFileController::write(Member member, QString value, QString optionKey)
{
    const std::optional<QString> error = co_await QtConcurrent::run(&writeNow, member, value);
    if (error)
        throw OptionModelError(optionKey, *error);
}

QCoro::Task<std::optional<QString>> ObsidianAppearanceFileController::read(Member member)
{
    co_return co_await QtConcurrent::run(&readNow, member);
}

ObsidianAppearanceFileController::ObsidianAppearanceFileController(JSONController jc)
    : m_jc(std::move(jc))
{
    appearance.accentColor = textMember(m_jc.json(), accentColorMember);
    appearance.cssTheme = textMember(m_jc.json(), cssThemeMember);
}

std::optional<QString> ObsidianAppearanceFileController::filePath()
{
    const std::optional<ObsidianVault> vault = ObsidianSelectedVaultController::resolve();
    if (!vault)
        return std::nullopt;
    return vault->filePath(relativePath);
}

std::optional<ObsidianAppearanceFileController> ObsidianAppearanceFileController::open()
{
    const std::optional<QString> path = filePath();
    if (!path)
        return std::nullopt;
    return ObsidianAppearanceFileController(JSONController::open(*path));
}

std::optional<ObsidianAppearanceFileController> ObsidianAppearanceFileController::load()
{
    try {
        return open();
    } catch (const JSONFileError &) {
        return std::nullopt;
    }
}
