#include "KivUtilities/Symbols.h"

#include <QAbstractButton>
#include <QEvent>
#include <QGuiApplication>
#include <QHash>
#include <QIconEngine>
#include <QLabel>
#include <QPainter>
#include <QPixmapCache>
#include <QStandardPaths>
#include <QThread>
#include <QVariant>
#include <QWidget>

#include <algorithm>
#include <cstdlib>
#include <optional>

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
    // The pictures the icons above draw from, as the table gives them.
    QHash<QString, QIcon> sources;
};

Cache &cache()
{
    static Cache instance;
    return instance;
}

// The extent a label's symbol is drawn at, kept to draw it again when the label's palette changes.
constexpr const char *extentProperty = "symbolExtent";

// Whether a picture is drawn in one grey ink, as the icon sets' symbols are (in the dark text colour of
// a light palette): such a picture is a shape to draw in the text colour. A picture in a hue (a red
// trash can) or in several colours keeps its colours, which carry meaning. The soft edges are left
// out of the judgement: their colour is only exact to a few steps.
bool isGreyInk(const QImage &picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_ARGB32);
    constexpr int solid = 96, sameInk = 10, grey = 24;
    std::optional<QRgb> ink;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = line[x];
            if (qAlpha(pixel) < solid)
                continue;
            if (!ink) {
                ink = pixel;
                continue;
            }
            if (std::abs(qRed(pixel) - qRed(*ink)) > sameInk
                || std::abs(qGreen(pixel) - qGreen(*ink)) > sameInk
                || std::abs(qBlue(pixel) - qBlue(*ink)) > sameInk)
                return false;
        }
    }
    if (!ink)
        return false;
    const auto [low, high] = std::minmax({qRed(*ink), qGreen(*ink), qBlue(*ink)});
    return high - low <= grey;
}

// The colour a symbol is drawn in: the text colour of the palette, in the icon mode's colour group.
QColor inkFor(const QPalette &palette, QPalette::ColorRole textRole, QIcon::Mode mode)
{
    if (mode == QIcon::Selected)
        return palette.color(QPalette::Active, QPalette::HighlightedText);
    return palette.color(mode == QIcon::Disabled ? QPalette::Disabled : QPalette::Active, textRole);
}

// The symbol's picture at `logical` size for a device of `ratio` pixels per point: a grey-ink picture
// in `ink`, any other as the icon set draws it.
QPixmap drawSymbol(const QString &name, const QIcon &source, const QSize &logical, qreal ratio,
                   QIcon::Mode mode, QIcon::State state, const QColor &ink)
{
    if (logical.isEmpty())
        return {};
    // The cache is the window thread's only.
    const bool cached = qApp && QThread::currentThread() == qApp->thread();
    const QString key = QStringLiteral("KivSymbol/%1/%2x%3@%4/%5/%6/%7")
                            .arg(name)
                            .arg(logical.width())
                            .arg(logical.height())
                            .arg(ratio)
                            .arg(int(mode))
                            .arg(int(state))
                            .arg(ink.rgba(), 0, 16);
    QPixmap drawn;
    if (cached && QPixmapCache::find(key, &drawn))
        return drawn;
    const QPixmap picture = source.pixmap(logical, ratio, QIcon::Normal, state);
    QImage image = picture.toImage();
    if (isGreyInk(image)) {
        image = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QPainter painter(&image);
        painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
        painter.fillRect(QRectF(QPointF(), image.deviceIndependentSize()), ink);
        painter.end();
        drawn = QPixmap::fromImage(std::move(image));
    } else {
        drawn = mode == QIcon::Normal ? picture : source.pixmap(logical, ratio, mode, state);
    }
    if (cached)
        QPixmapCache::insert(key, drawn);
    return drawn;
}

// Draws a symbol of the table: painted on a widget, in the widget's text colour; asked for a pixmap
// (as styles do for buttons, tabs and menus), in the application palette's. Each drawing asks the
// palette anew, so a palette changed while the program runs is followed.
class SymbolIconEngine : public QIconEngine
{
public:
    SymbolIconEngine(QString name, QIcon source)
        : m_name(std::move(name))
        , m_source(std::move(source))
    { }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        QPaintDevice *device = painter->device();
        const auto *widget = dynamic_cast<const QWidget *>(device);
        const QColor ink = widget ? inkFor(widget->palette(), widget->foregroundRole(), mode)
                                  : inkFor(QGuiApplication::palette(), QPalette::WindowText, mode);
        const qreal ratio = device ? device->devicePixelRatio() : qApp->devicePixelRatio();
        painter->drawPixmap(rect, drawSymbol(m_name, m_source, rect.size(), ratio, mode, state, ink));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1.0);
    }

    // `size` is in device pixels.
    QPixmap scaledPixmap(const QSize &size, QIcon::Mode mode, QIcon::State state, qreal scale) override
    {
        const QSize logical = (QSizeF(size) / scale).toSize();
        return drawSymbol(m_name, m_source, logical, scale, mode, state,
                          inkFor(QGuiApplication::palette(), QPalette::WindowText, mode));
    }

    QSize actualSize(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_source.actualSize(size, mode, state);
    }

    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_source.availableSizes(mode, state);
    }

    QString key() const override { return QStringLiteral("KivSymbol"); }
    QString iconName() override { return m_source.name(); }
    bool isNull() override { return m_source.isNull(); }
    QIconEngine *clone() const override { return new SymbolIconEngine(m_name, m_source); }

private:
    QString m_name;
    QIcon m_source;
};

// Draws a label's symbol again when its palette changes.
class LabelSymbolFollower : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange) {
            if (auto *label = qobject_cast<QLabel *>(watched))
                drawOn(label);
        }
        return false;
    }

    static void drawOn(QLabel *label)
    {
        const QString name = label->property(Symbols::propertyName).toString();
        if (name.isEmpty() || Symbols::icon(name).isNull())
            return;
        const int extent = label->property(extentProperty).toInt();
        label->setPixmap(drawSymbol(name, cache().sources.value(name), QSize(extent, extent),
                                    label->devicePixelRatio(), QIcon::Normal, QIcon::Off,
                                    inkFor(label->palette(), label->foregroundRole(), QIcon::Normal)));
    }
};

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
    const QIcon source = from.startsWith(QLatin1Char(':')) ? QIcon(from) : QIcon::fromTheme(from);
    if (source.isNull())
        return source;
    const QIcon made(new SymbolIconEngine(name, source));
    c.sources.insert(name, source);
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
        label->setProperty(extentProperty, extent);
        if (image.isNull()) {
            label->setPixmap(QPixmap());
            return;
        }
        static LabelSymbolFollower follower;
        label->installEventFilter(&follower);
        LabelSymbolFollower::drawOn(label);
    } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
        button->setIcon(image);
        button->setIconSize(QSize(extent, extent));
    }
}

} // namespace KivUtilities
