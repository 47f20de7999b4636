#include "Tapestrel/model/AppConfigEnvironment.h"

#include "platform/Home.h"
#include "platform/Workspace.h"

#include <QFile>

#include <plist/plist.h>

#include <cstdlib>
#include <memory>

namespace {

const AppConfigEnvironment *g_current = nullptr;

struct PlistDeleter
{
    void operator()(plist_t node) const { plist_free(node); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

PlistPtr readPlist(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return nullptr;
    plist_t root = nullptr;
    plist_from_memory(bytes.constData(), uint32_t(bytes.size()), &root);
    PlistPtr owned(root);
    if (!root || plist_get_node_type(root) != PLIST_DICT)
        return nullptr;
    return owned;
}

std::optional<QString> stringValue(plist_t dict, const char *key)
{
    plist_t item = plist_dict_get_item(dict, key);
    if (!item || plist_get_node_type(item) != PLIST_STRING)
        return std::nullopt;
    char *value = nullptr;
    plist_get_string_val(item, &value);
    if (!value)
        return std::nullopt;
    QString text = QString::fromUtf8(value);
    free(value);
    return text;
}

} // namespace

const AppConfigEnvironment &AppConfigEnvironment::current()
{
    static const HomeAppConfigEnvironment home;
    return g_current ? *g_current : home;
}

void AppConfigEnvironment::setCurrent(const AppConfigEnvironment *environment)
{
    g_current = environment;
}

std::optional<QString> HomeAppConfigEnvironment::applicationPath(const QString &bundleID) const
{
    if (const auto application = Platform::Workspace::shared().applicationWithBundleIdentifier(bundleID))
        return application->path;
    return std::nullopt;
}

std::optional<QString> HomeAppConfigEnvironment::storedString(const QString &key) const
{
    const PlistPtr domain =
        readPlist(Platform::Home::preferencesFolder() + QStringLiteral("/com.quorvane.Tapestrel.plist"));
    if (!domain)
        return std::nullopt;
    return stringValue(domain.get(), key.toUtf8().constData());
}
