#include "platform/GnomeDesktop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutexLocker>
#include <QUrl>

// GLib names a structure member "signals", which Qt's keyword macro would rewrite.
#undef signals
#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <algorithm>
#include <cmath>
#include <dlfcn.h>
#include <map>
#include <vector>

// GIO and GObject are loaded when the first desktop of this kind is made, not with the program:
// most starts never act on GNOME, and the libraries they bring (libmount, libselinux, libffi, ...)
// would cost every start their loading and their pages. GLib itself comes with Qt.
#define GNOME_DESKTOP_GIO_FUNCTIONS(F)                                                                       \
    F(g_keyfile_settings_backend_new)                                                                        \
    F(g_null_settings_backend_new)                                                                           \
    F(g_object_get)                                                                                          \
    F(g_object_unref)                                                                                        \
    F(g_settings_apply)                                                                                      \
    F(g_settings_delay)                                                                                      \
    F(g_settings_get_user_value)                                                                             \
    F(g_settings_get_value)                                                                                  \
    F(g_settings_is_writable)                                                                                \
    F(g_settings_new_full)                                                                                   \
    F(g_settings_reset)                                                                                      \
    F(g_settings_revert)                                                                                     \
    F(g_settings_schema_get_key)                                                                             \
    F(g_settings_schema_has_key)                                                                             \
    F(g_settings_schema_key_get_value_type)                                                                  \
    F(g_settings_schema_key_range_check)                                                                     \
    F(g_settings_schema_key_unref)                                                                           \
    F(g_settings_schema_source_get_default)                                                                  \
    F(g_settings_schema_source_lookup)                                                                       \
    F(g_settings_schema_source_new_from_directory)                                                           \
    F(g_settings_schema_source_ref)                                                                          \
    F(g_settings_schema_source_unref)                                                                        \
    F(g_settings_schema_unref)                                                                               \
    F(g_settings_set_value)                                                                                  \
    F(g_settings_backend_get_default)                                                                        \
    F(g_settings_sync)                                                                                       \
    F(g_type_name)

namespace Platform {

namespace {

const char *const interfaceSchema = "org.gnome.desktop.interface";
const char *const backgroundSchema = "org.gnome.desktop.background";
const char *const dockSchema = "org.gnome.shell.extensions.dash-to-dock";

// The folders in which Dash to Dock and Ubuntu Dock keep their schemas when they are installed as
// extensions of one user or of the system rather than with the desktop.
const char *const dockExtensions[] = {"dash-to-dock@micxgx.gmail.com", "ubuntu-dock@ubuntu.com"};

constexpr int smallestDockIcons = 16;
constexpr int largestDockIcons = 64;

struct Gio
{
#define GNOME_DESKTOP_GIO_POINTER(name) decltype(&::name) name = nullptr;
    GNOME_DESKTOP_GIO_FUNCTIONS(GNOME_DESKTOP_GIO_POINTER)
#undef GNOME_DESKTOP_GIO_POINTER
    bool loaded = false;
};

// The functions, loaded once and kept; without the library (or with one that lacks a function)
// `loaded` is false and no desktop of this kind reads or writes anything.
const Gio &gio()
{
    static const Gio functions = [] {
        Gio found;
        // GObject comes with GIO, and a look-up through GIO's handle finds its functions too.
        void *library = dlopen("libgio-2.0.so.0", RTLD_NOW | RTLD_LOCAL);
        if (!library) {
            qWarning("GNOME's settings cannot be reached: %s", dlerror());
            return found;
        }
        bool complete = true;
#define GNOME_DESKTOP_GIO_RESOLVE(name)                                                                      \
    found.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name));                                 \
    complete = complete && found.name;
        GNOME_DESKTOP_GIO_FUNCTIONS(GNOME_DESKTOP_GIO_RESOLVE)
#undef GNOME_DESKTOP_GIO_RESOLVE
        if (!complete)
            qWarning("GNOME's settings cannot be reached: the GIO library lacks functions this program uses");
        found.loaded = complete;
        return found;
    }();
    return functions;
}

QString text(const char *utf8)
{
    return QString::fromUtf8(utf8);
}

QString translated(const char *message)
{
    return QCoreApplication::translate("GnomeDesktop", message);
}

struct VariantDeleter
{
    void operator()(GVariant *value) const { g_variant_unref(value); }
};
using Variant = std::unique_ptr<GVariant, VariantDeleter>;

Variant owned(GVariant *value)
{
    return Variant(value ? g_variant_ref_sink(value) : nullptr);
}

Variant string(const QString &value)
{
    return owned(g_variant_new_string(value.toUtf8().constData()));
}

// One key to write: a value, or its default (no value). A stored value is written even where the
// key's default shows the same, so that the desktop holds it as chosen.
struct Change
{
    const char *key;
    Variant value;
    bool stored = false;
};

} // namespace

class GnomeDesktop::Schemas
{
public:
    class Access;

    explicit Schemas(const Store &store)
        : m_keyfile(store.keyfile)
        , m_readOnly(store.readOnly)
    {
        if (!gio().loaded)
            return; // no schema is found, so nothing is read or changed
        if (!store.schemaFolder.isEmpty()) {
            m_source = gio().g_settings_schema_source_new_from_directory(
                QFile::encodeName(store.schemaFolder).constData(), nullptr, FALSE, nullptr);
        } else if (GSettingsSchemaSource *installed = gio().g_settings_schema_source_get_default()) {
            m_source = gio().g_settings_schema_source_ref(installed);
            m_dockSource = extensionDockSource(installed);
        }
    }

    ~Schemas()
    {
        if (m_dockSource)
            gio().g_settings_schema_source_unref(m_dockSource);
        if (m_source)
            gio().g_settings_schema_source_unref(m_source);
    }

    Schemas(const Schemas &) = delete;
    Schemas &operator=(const Schemas &) = delete;

    // The schema, or nullptr when it is not installed.
    GSettingsSchema *lookup(const char *id) const
    {
        GSettingsSchema *schema =
            m_source ? gio().g_settings_schema_source_lookup(m_source, id, TRUE) : nullptr;
        if (!schema && m_dockSource && qstrcmp(id, dockSchema) == 0)
            schema = gio().g_settings_schema_source_lookup(m_dockSource, id, TRUE);
        return schema;
    }

    // A store for one access (owned by the caller), and whether it is the desktop's own, which
    // writes in the background. The desktop's store (dconf) reads what is stored now at every read.
    // A keyfile store reads its file once, when it is made, and notices later writes of other
    // programs only through a file monitor that the running GLib main loop of the thread that made
    // it serves, which the asking thread need not have: each access reads the keyfile anew. That
    // holds for the keyfile GSettings uses by itself (GSETTINGS_BACKEND=keyfile, or no dconf) too.
    GSettingsBackend *backend(bool *desktopStore) const
    {
        *desktopStore = false;
        if (!gio().loaded)
            return nullptr;
        if (m_readOnly)
            return gio().g_null_settings_backend_new();
        if (!m_keyfile.isEmpty())
            return keyfileBackend(m_keyfile);
        GSettingsBackend *standard = gio().g_settings_backend_get_default();
        if (standard
            && qstrcmp(gio().g_type_name(G_TYPE_FROM_INSTANCE(standard)), "GKeyfileSettingsBackend") == 0) {
            gio().g_object_unref(standard);
            return keyfileBackend(QFile::decodeName(g_get_user_config_dir())
                                  + QStringLiteral("/glib-2.0/settings/keyfile"));
        }
        *desktopStore = true;
        return standard;
    }

private:
    static GSettingsBackend *keyfileBackend(const QString &file)
    {
        return gio().g_keyfile_settings_backend_new(QFile::encodeName(file).constData(), "/", nullptr);
    }

    static GSettingsSchemaSource *extensionDockSource(GSettingsSchemaSource *installed)
    {
        GSettingsSchema *withDesktop = gio().g_settings_schema_source_lookup(installed, dockSchema, TRUE);
        if (withDesktop) {
            gio().g_settings_schema_unref(withDesktop);
            return nullptr;
        }
        QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
        if (dataHome.isEmpty())
            dataHome = QDir::homePath() + QStringLiteral("/.local/share");
        QStringList dataFolders {dataHome};
        QString dataDirs = qEnvironmentVariable("XDG_DATA_DIRS");
        if (dataDirs.isEmpty())
            dataDirs = QStringLiteral("/usr/local/share:/usr/share");
        dataFolders += dataDirs.split(u':', Qt::SkipEmptyParts);
        for (const QString &folder : std::as_const(dataFolders)) {
            for (const char *extension : dockExtensions) {
                const QString schemas = folder + QStringLiteral("/gnome-shell/extensions/") + text(extension)
                    + QStringLiteral("/schemas");
                if (!QFileInfo::exists(schemas + QStringLiteral("/gschemas.compiled")))
                    continue;
                if (GSettingsSchemaSource *source = gio().g_settings_schema_source_new_from_directory(
                        QFile::encodeName(schemas).constData(), installed, FALSE, nullptr))
                    return source;
            }
        }
        return nullptr;
    }

    QString m_keyfile;
    bool m_readOnly = false;
    GSettingsSchemaSource *m_source = nullptr;
    GSettingsSchemaSource *m_dockSource = nullptr;
};

// The settings as they are now, for one reading or one change, let go after it.
class GnomeDesktop::Schemas::Access
{
public:
    explicit Access(const Schemas &schemas)
        : m_schemas(schemas)
        , m_backend(schemas.backend(&m_desktopStore))
    { }

    ~Access()
    {
        for (auto &[id, settings] : m_settings) {
            if (settings)
                gio().g_object_unref(settings);
        }
        if (m_backend)
            gio().g_object_unref(m_backend);
    }

    Access(const Access &) = delete;
    Access &operator=(const Access &) = delete;

    // Whether the desktop's own store (dconf) holds the settings, which writes in the background.
    bool usesDesktopStore() const { return m_desktopStore; }

    // The settings of a schema; nullptr when it is not installed. Changes are held back until
    // apply(), so that several keys change together.
    GSettings *settings(const char *id)
    {
        const auto found = m_settings.find(id);
        if (found != m_settings.end())
            return found->second;
        GSettings *settings = nullptr;
        if (GSettingsSchema *schema = m_schemas.lookup(id)) {
            settings = gio().g_settings_new_full(schema, m_backend, nullptr);
            gio().g_settings_delay(settings);
            gio().g_settings_schema_unref(schema);
        }
        m_settings.emplace(id, settings);
        return settings;
    }

private:
    const Schemas &m_schemas;
    bool m_desktopStore = false;
    GSettingsBackend *m_backend = nullptr;
    std::map<QByteArray, GSettings *> m_settings;
};

namespace {

GSettingsSchemaKey *schemaKey(GSettings *settings, const char *key)
{
    GSettingsSchema *schema = nullptr;
    gio().g_object_get(settings, "settings-schema", &schema, nullptr);
    GSettingsSchemaKey *found = nullptr;
    if (schema && gio().g_settings_schema_has_key(schema, key))
        found = gio().g_settings_schema_get_key(schema, key);
    if (schema)
        gio().g_settings_schema_unref(schema);
    return found;
}

bool hasKey(GSettings *settings, const char *key)
{
    GSettingsSchemaKey *found = settings ? schemaKey(settings, key) : nullptr;
    if (found)
        gio().g_settings_schema_key_unref(found);
    return found != nullptr;
}

QString schemaId(GSettings *settings)
{
    gchar *id = nullptr;
    gio().g_object_get(settings, "schema-id", &id, nullptr);
    const QString result = text(id);
    g_free(id);
    return result;
}

// The key's value, when the schema has the key with that type.
Variant value(GSettings *settings, const char *key, const GVariantType *type)
{
    GSettingsSchemaKey *found = settings ? schemaKey(settings, key) : nullptr;
    if (!found)
        return nullptr;
    const bool typed = g_variant_type_equal(gio().g_settings_schema_key_get_value_type(found), type);
    gio().g_settings_schema_key_unref(found);
    return typed ? owned(gio().g_settings_get_value(settings, key)) : nullptr;
}

std::optional<QString> stringValue(GSettings *settings, const char *key)
{
    const Variant found = value(settings, key, G_VARIANT_TYPE_STRING);
    if (!found)
        return std::nullopt;
    return text(g_variant_get_string(found.get(), nullptr));
}

std::optional<bool> booleanValue(GSettings *settings, const char *key)
{
    const Variant found = value(settings, key, G_VARIANT_TYPE_BOOLEAN);
    if (!found)
        return std::nullopt;
    return g_variant_get_boolean(found.get()) != FALSE;
}

std::optional<int> integerValue(GSettings *settings, const char *key)
{
    const Variant found = value(settings, key, G_VARIANT_TYPE_INT32);
    if (!found)
        return std::nullopt;
    return g_variant_get_int32(found.get());
}

QString describe(GVariant *value)
{
    if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING))
        return text(g_variant_get_string(value, nullptr));
    gchar *printed = g_variant_print(value, FALSE);
    const QString result = text(printed);
    g_free(printed);
    return result;
}

// Writes the changes together, or none of them: every key must allow its value and be writable
// before anything is written. Changes that are in place already are left out; when none is left,
// nothing is written. Returns false, writing nothing, where the schema lacks a key that is to hold a
// value: this GNOME has no such setting, which is said once on standard error.
bool write(GSettings *settings, std::vector<Change> changes, bool waitForStore)
{
    std::vector<Change> needed;
    for (Change &change : changes) {
        GSettingsSchemaKey *found = schemaKey(settings, change.key);
        // A GNOME without the key shows its own default already.
        if (!found && !change.value)
            continue;
        if (!found) {
            LinuxDesktop::sayOnce(translated("This GNOME has no setting “%1” in %2; it stays in the emulated "
                                             "home, and the desktop is left as it is.")
                                      .arg(text(change.key), schemaId(settings)));
            return false;
        }
        const bool allowed = !change.value
            || (g_variant_is_of_type(change.value.get(), gio().g_settings_schema_key_get_value_type(found))
                && gio().g_settings_schema_key_range_check(found, change.value.get()));
        gio().g_settings_schema_key_unref(found);
        if (!allowed)
            throw DesktopError(
                translated("GNOME’s setting “%1” does not allow “%2”, so the desktop was left as it is.")
                    .arg(text(change.key), describe(change.value.get())));
        const Variant user = owned(gio().g_settings_get_user_value(settings, change.key));
        const bool held = change.value ? user && g_variant_equal(user.get(), change.value.get()) : !user;
        const bool shown = change.value
            ? g_variant_equal(owned(gio().g_settings_get_value(settings, change.key)).get(),
                              change.value.get())
            : held;
        const bool writable = gio().g_settings_is_writable(settings, change.key);
        // What the desktop shows already needs no change; a locked key that shows it is no failure.
        if (held || (shown && (!change.stored || !writable)))
            continue;
        if (!writable)
            throw DesktopError(translated("GNOME’s setting “%1” is locked, so the desktop was left as it is.")
                                   .arg(text(change.key)));
        needed.push_back(std::move(change));
    }
    if (needed.empty())
        return true;
    for (const Change &change : needed) {
        if (!change.value) {
            gio().g_settings_reset(settings, change.key);
        } else if (!gio().g_settings_set_value(settings, change.key, change.value.get())) {
            gio().g_settings_revert(settings);
            throw DesktopError(
                translated("GNOME did not take the setting “%1”, so the desktop was left as it is.")
                    .arg(text(change.key)));
        }
    }
    gio().g_settings_apply(settings);
    // The desktop's store writes in the background; the change is done once it has been written.
    if (waitForStore)
        gio().g_settings_sync();
    return true;
}

} // namespace

GnomeDesktop::GnomeDesktop()
    : GnomeDesktop(Store {})
{ }

GnomeDesktop::GnomeDesktop(const Store &store)
    : m_schemas(std::make_unique<Schemas>(store))
{ }

GnomeDesktop::~GnomeDesktop() = default;

std::optional<bool> GnomeDesktop::darkMode() const
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    const std::optional<QString> scheme = stringValue(access.settings(interfaceSchema), "color-scheme");
    if (!scheme)
        return std::nullopt;
    return *scheme == u"prefer-dark";
}

bool GnomeDesktop::setDarkMode(bool dark)
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    GSettings *interface = access.settings(interfaceSchema);
    if (!interface)
        return false;
    std::vector<Change> changes;
    changes.push_back(
        {"color-scheme", string(dark ? QStringLiteral("prefer-dark") : QStringLiteral("default"))});
    // Only the desktop's own theme follows; a theme the person chose stays.
    const std::optional<QString> theme = stringValue(interface, "gtk-theme");
    if (theme == u"Adwaita" && dark)
        changes.push_back({"gtk-theme", string(QStringLiteral("Adwaita-dark"))});
    else if (theme == u"Adwaita-dark" && !dark)
        changes.push_back({"gtk-theme", string(QStringLiteral("Adwaita"))});
    return write(interface, std::move(changes), access.usesDesktopStore());
}

std::optional<QString> GnomeDesktop::accentColor() const
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    GSettings *interface = access.settings(interfaceSchema);
    if (!stringValue(interface, "accent-color"))
        return std::nullopt;
    const Variant user = owned(gio().g_settings_get_user_value(interface, "accent-color"));
    if (!user)
        return QStringLiteral("multicolor");
    const QString color = text(g_variant_get_string(user.get(), nullptr));
    if (color == u"slate")
        return QStringLiteral("graphite");
    static const QStringList named {
        QStringLiteral("red"),  QStringLiteral("orange"), QStringLiteral("yellow"), QStringLiteral("green"),
        QStringLiteral("blue"), QStringLiteral("purple"), QStringLiteral("pink")};
    if (named.contains(color))
        return color;
    return std::nullopt; // a colour the program has no name for, such as teal
}

bool GnomeDesktop::setAccentColor(const QString &name)
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    GSettings *interface = access.settings(interfaceSchema);
    if (!interface)
        return false;
    std::vector<Change> changes;
    if (name == u"multicolor")
        changes.push_back({"accent-color", nullptr});
    else
        changes.push_back(
            {"accent-color", string(name == u"graphite" ? QStringLiteral("slate") : name), true});
    return write(interface, std::move(changes), access.usesDesktopStore());
}

bool GnomeDesktop::showsPictures() const
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    return access.settings(backgroundSchema) != nullptr;
}

bool GnomeDesktop::showsColors() const
{
    return showsPictures();
}

bool GnomeDesktop::setPicture(const QString &file)
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    GSettings *background = access.settings(backgroundSchema);
    if (!background)
        return false;
    const QString uri = QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()).toString(QUrl::FullyEncoded);
    std::vector<Change> changes;
    changes.push_back({"picture-uri", string(uri)});
    // Older GNOME has one picture for both appearances.
    if (hasKey(background, "picture-uri-dark"))
        changes.push_back({"picture-uri-dark", string(uri)});
    changes.push_back({"picture-options", string(QStringLiteral("zoom"))});
    return write(background, std::move(changes), access.usesDesktopStore());
}

bool GnomeDesktop::setColor(const QColor &color)
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    GSettings *background = access.settings(backgroundSchema);
    if (!background)
        return false;
    std::vector<Change> changes;
    changes.push_back({"primary-color", string(color.name(QColor::HexRgb))});
    changes.push_back({"color-shading-type", string(QStringLiteral("solid"))});
    changes.push_back({"picture-options", string(QStringLiteral("none"))});
    return write(background, std::move(changes), access.usesDesktopStore());
}

std::optional<DesktopPicture> GnomeDesktop::picture() const
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    GSettings *background = access.settings(backgroundSchema);
    const std::optional<QString> options = stringValue(background, "picture-options");
    if (!options)
        return std::nullopt;
    if (*options == u"none") {
        const QColor color = QColor::fromString(stringValue(background, "primary-color").value_or(QString()));
        if (!color.isValid())
            return std::nullopt;
        return DesktopPicture {QString(), color};
    }
    // In dark mode the desktop shows the dark picture, where it has one.
    const bool dark = stringValue(access.settings(interfaceSchema), "color-scheme") == u"prefer-dark";
    std::optional<QString> uri = dark ? stringValue(background, "picture-uri-dark") : std::nullopt;
    if (!uri || uri->isEmpty())
        uri = stringValue(background, "picture-uri");
    const QUrl url(uri.value_or(QString()));
    if (!url.isLocalFile() || url.toLocalFile().isEmpty())
        return std::nullopt; // a picture the desktop keeps elsewhere than in a file
    return DesktopPicture {url.toLocalFile(), QColor()};
}

int GnomeDesktop::dockIconSize(double size)
{
    const double clamped = std::isfinite(size) ? std::clamp(size, 0.0, 1.0) : 0.0;
    return int(std::lround(smallestDockIcons + clamped * (largestDockIcons - smallestDockIcons)));
}

double GnomeDesktop::dockSizeForIcons(int pixels)
{
    const int clamped = std::clamp(pixels, smallestDockIcons, largestDockIcons);
    return double(clamped - smallestDockIcons) / (largestDockIcons - smallestDockIcons);
}

std::optional<QString> GnomeDesktop::dockPosition() const
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    const std::optional<QString> position = stringValue(access.settings(dockSchema), "dock-position");
    if (position == u"LEFT")
        return QStringLiteral("left");
    if (position == u"BOTTOM")
        return QStringLiteral("bottom");
    if (position == u"RIGHT")
        return QStringLiteral("right");
    return std::nullopt; // none, or the top edge, which the program does not offer
}

bool GnomeDesktop::setDockPosition(const QString &edge)
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    GSettings *dock = access.settings(dockSchema);
    if (!dock)
        return false;
    std::vector<Change> changes;
    changes.push_back({"dock-position", string(edge.toUpper())});
    return write(dock, std::move(changes), access.usesDesktopStore());
}

std::optional<bool> GnomeDesktop::dockAutoHide() const
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    GSettings *dock = access.settings(dockSchema);
    const std::optional<bool> fixed = booleanValue(dock, "dock-fixed");
    const std::optional<bool> autoHide = booleanValue(dock, "autohide");
    if (!fixed || !autoHide)
        return std::nullopt;
    return !*fixed && *autoHide;
}

bool GnomeDesktop::setDockAutoHide(bool autoHide)
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    GSettings *dock = access.settings(dockSchema);
    if (!dock)
        return false;
    std::vector<Change> changes;
    changes.push_back({"dock-fixed", owned(g_variant_new_boolean(!autoHide))});
    if (autoHide)
        changes.push_back({"autohide", owned(g_variant_new_boolean(TRUE))});
    return write(dock, std::move(changes), access.usesDesktopStore());
}

std::optional<double> GnomeDesktop::dockSize() const
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    const std::optional<int> pixels = integerValue(access.settings(dockSchema), "dash-max-icon-size");
    if (!pixels)
        return std::nullopt;
    return dockSizeForIcons(*pixels);
}

bool GnomeDesktop::setDockSize(double size)
{
    QMutexLocker locker(&m_mutex);
    Schemas::Access access(*m_schemas);
    GSettings *dock = access.settings(dockSchema);
    if (!dock)
        return false;
    std::vector<Change> changes;
    changes.push_back({"dash-max-icon-size", owned(g_variant_new_int32(dockIconSize(size)))});
    return write(dock, std::move(changes), access.usesDesktopStore());
}

} // namespace Platform
