#include "Tapestrel/apps/obsidian/ObsidianAppearanceFileController.h"

#include "Tapestrel/apps/obsidian/ObsidianSelectedVaultController.h"
#include "Tapestrel/model/OptionModel.h"

#include <QCoreApplication>
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

using Member = ObsidianAppearanceFileController::Member;

std::optional<QString> &field(ObsidianAppearanceFile &appearance, Member member)
{
    return member == Member::accentColor ? appearance.accentColor : appearance.cssTheme;
}

// The error text of a failed write, or nothing.
std::optional<QString> writeNow(Member member, const QString &value)
{
    try {
        std::optional<ObsidianAppearanceFileController> controller = ObsidianAppearanceFileController::open();
        if (!controller)
            return std::nullopt;
        field(controller->appearance, member) = value;
        controller->save();
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

std::optional<ObsidianAppearanceFileController> ObsidianAppearanceFileController::open()
{
    const std::optional<ObsidianVault> vault = ObsidianSelectedVaultController::resolve();
    if (!vault)
        return std::nullopt;
    const std::optional<QString> path = vault->filePath(relativePath);
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

void ObsidianAppearanceFileController::save()
{
    // Both members are checked before either is changed, so a refused write changes nothing.
    JSONController::Json json = m_jc.json();
    if (appearance.accentColor)
        setTextMember(json, accentColorMember, *appearance.accentColor, m_jc.path());
    if (appearance.cssTheme)
        setTextMember(json, cssThemeMember, *appearance.cssTheme, m_jc.path());
    if (json == m_jc.json())
        return;
    std::swap(m_jc.json(), json);
    try {
        m_jc.save();
    } catch (...) {
        std::swap(m_jc.json(), json);
        throw;
    }
}
