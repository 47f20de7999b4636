#include "KivUtilities/Symbols.h"

#include <QAbstractButton>
#include <QHash>
#include <QLabel>
#include <QStandardPaths>
#include <QVariant>
#include <QWidget>

static void initSymbolResources()
{
    Q_INIT_RESOURCE(KivUtilitiesSymbols);
}

namespace KivUtilities {

namespace {

constexpr const char *bundledPrefix = ":/KivUtilities/symbols/";

// Symbol name → breeze icon name; a value starting with ":" is a bundled SVG.
const QHash<QString, QString> &table()
{
    static const QHash<QString, QString> map = [] {
        const QString bundled = QString::fromLatin1(bundledPrefix);
        return QHash<QString, QString> {
            {"arrow.clockwise", "view-refresh"},
            {"arrow.counterclockwise", "object-rotate-left"},
            {"arrow.right.circle.fill", "go-next"},
            {"app", "applications-all"},
            {"arrow.triangle.2.circlepath", "media-playlist-repeat"},
            {"asterisk", bundled + "asterisk.svg"},
            {"bubble.left.fill", "dialog-messages"},
            {"checkmark", "checkmark"},
            {"checkmark.circle", "dialog-ok"},
            {"checkmark.rectangle", bundled + "checkmark.rectangle.svg"},
            {"chevron.backward", "go-previous"},
            {"chevron.compact.forward", "go-next"},
            {"chevron.forward", "go-next"},
            {"chevron.right", "go-next"},
            {"circle.fill", bundled + "circle.fill.svg"},
            {"clock", "clock"},
            {"command.square", "input-keyboard"},
            {"document.on.document", "edit-copy"},
            {"drop.fill", "color-fill"},
            {"ellipsis.circle", "overflow-menu"},
            {"envelope.fill", "mail-message"},
            {"externaldrive.badge.timemachine", "backup"},
            {"externaldrive.fill.badge.timemachine", "backup"},
            {"folder.fill", "folder"},
            {"gear", "configure"},
            {"gearshape", "configure"},
            {"gearshape.fill", "settings-configure"},
            {"gearshape.arrow.triangle.2.circlepath", "run-build-configure"},
            {"globe", "globe"},
            {"info.circle", "help-about"},
            {"link", "link"},
            {"list.bullet.clipboard", "edit-paste"},
            {"lock", "object-locked"},
            {"lock.open", "object-unlocked"},
            {"magnifyingglass.circle.fill", "system-search"},
            {"menubar.dock.rectangle", bundled + "menubar.dock.rectangle.svg"},
            {"newspaper", "view-pim-news"},
            {"nosign", "dialog-cancel"},
            {"pencil", "document-edit"},
            {"photo", "photo"},
            {"photo.badge.exclamationmark", "image-missing"},
            {"photo.on.rectangle", "image-x-generic"},
            {"photo.on.rectangle.angled", "viewimage"},
            {"play", "media-playback-start"},
            {"play.fill", "media-playback-start"},
            {"plus", "list-add"},
            {"plus.app.fill", "document-new"},
            {"plus.square.on.square", "edit-duplicate"},
            {"questionmark.app.dashed", "unknown"},
            {"safari", "compass"},
            {"square.and.arrow.down", "document-save"},
            {"text.page", "text-x-generic"},
            {"trash", "edit-delete"},
            {"tray.full", "mail-folder-inbox"},
            {"xmark.circle", "dialog-close"},
        };
    }();
    return map;
}

struct Cache
{
    QHash<QString, QIcon> icons;
    QHash<qint64, QString> names;
};

Cache &cache()
{
    static Cache instance;
    return instance;
}

} // namespace

void Symbols::ensureFallbackTheme()
{
    static const bool done = [] {
        initSymbolResources();
        if (QIcon::fallbackThemeName() != QLatin1String("breeze"))
            QIcon::setFallbackThemeName(QStringLiteral("breeze"));
        // Without a desktop theme (offscreen, bare X11 sessions) Qt looks in no theme at all, not
        // even the fallback one: make breeze the theme then.
        // Platform plugins without a desktop theme (offscreen) give no icon folders either.
        QStringList paths = QIcon::themeSearchPaths();
        const QStringList dataIcons = QStandardPaths::locateAll(
            QStandardPaths::GenericDataLocation, QStringLiteral("icons"), QStandardPaths::LocateDirectory);
        bool added = false;
        for (const QString &folder : dataIcons) {
            if (!paths.contains(folder)) {
                paths.append(folder);
                added = true;
            }
        }
        if (added)
            QIcon::setThemeSearchPaths(paths);
        // A bare X11 session names "hicolor", the theme every theme inherits, which holds programs'
        // icons and no symbols: each lookup would read its long index first and then fall back to
        // breeze. Breeze is the theme then too (it inherits hicolor, so programs' icons are found).
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor"))
            QIcon::setThemeName(QStringLiteral("breeze"));
        return true;
    }();
    (void)done;
}

void Symbols::loadSvgIconEngine()
{
    initSymbolResources();
    // An icon made from an SVG file gets the engine for SVG files, the plugin loaded for it.
    (void)QIcon(QString::fromLatin1(bundledPrefix) + QStringLiteral("circle.fill.svg"));
}

QString Symbols::source(const QString &name)
{
    return table().value(name);
}

QStringList Symbols::names()
{
    QStringList list = table().keys();
    list.sort();
    return list;
}

QIcon Symbols::icon(const QString &name)
{
    ensureFallbackTheme();
    Cache &c = cache();
    if (auto it = c.icons.constFind(name); it != c.icons.constEnd())
        return *it;
    const QString from = source(name);
    if (from.isEmpty())
        return {};
    QIcon made = from.startsWith(QLatin1Char(':')) ? QIcon(from) : QIcon::fromTheme(from);
    if (made.isNull())
        return made;
    c.icons.insert(name, made);
    c.names.insert(made.cacheKey(), name);
    return made;
}

QString Symbols::nameOf(const QIcon &icon)
{
    return cache().names.value(icon.cacheKey());
}

void Symbols::apply(QWidget *widget, const QString &name, int extent)
{
    if (!widget)
        return;
    const QIcon image = name.isEmpty() ? QIcon() : icon(name);
    widget->setProperty(propertyName, name);
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        label->setPixmap(image.isNull() ? QPixmap() : image.pixmap(extent, extent));
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        button->setIcon(image);
        button->setIconSize(QSize(extent, extent));
    }
}

} // namespace KivUtilities
