#include "platform/XfceDesktop.h"

#include <QCoreApplication>
#include <QHash>
#include <QRegularExpression>
#include <QSet>

namespace Platform {

namespace {

const QString tool = QStringLiteral("xfconf-query");
const QString channel = QStringLiteral("xfce4-desktop");
// xfdesktop's "zoomed": the picture covers the monitor, cut at two of its edges, as on other desktops.
const QString zoomed = QStringLiteral("5");
// A listing of the channel larger than this is no desktop's settings.
constexpr qsizetype largestListing = 1 << 20;

QString translated(const char *message)
{
    return QCoreApplication::translate("XfceDesktop", message);
}

} // namespace

QList<XfceDesktop::Backdrop> XfceDesktop::backdrops(const QByteArray &listing)
{
    // Property names hold no blanks; the value follows the name after blanks.
    static const QRegularExpression property(QStringLiteral(
        "^(/backdrop/screen[0-9]+/monitor[^/\\s]+/workspace[0-9]+)/([^/\\s]+)(?:[ \\t]+(.*))?$"));
    QList<Backdrop> found;
    QHash<QString, qsizetype> index;
    QSet<QString> seen;
    QSet<QString> unclear;
    for (const QByteArray &line : listing.split('\n')) {
        const QRegularExpressionMatch match = property.match(QString::fromUtf8(line));
        if (!match.hasMatch())
            continue;
        const QString path = match.captured(1);
        auto at = index.constFind(path);
        if (at == index.constEnd()) {
            at = index.insert(path, found.size());
            found.append(Backdrop {path, {}, {}});
        }
        const QString key = match.captured(2);
        std::optional<QString> *value = key == u"last-image" ? &found[*at].lastImage
            : key == u"image-style"                          ? &found[*at].imageStyle
                                                             : nullptr;
        if (!value)
            continue;
        const QString name = path + u'/' + key;
        if (seen.contains(name))
            unclear.insert(name);
        seen.insert(name);
        *value = unclear.contains(name) ? std::nullopt : std::optional(match.captured(3));
    }
    return found;
}

bool XfceDesktop::setDarkMode(bool)
{
    sayOnce(translated("On Xfce the light or dark appearance stays in the emulated home; the desktop is left "
                       "as it is."));
    return false;
}

bool XfceDesktop::setAccentColor(const QString &)
{
    sayOnce(translated("On Xfce the theme colour stays in the emulated home; the desktop is left as it is."));
    return false;
}

bool XfceDesktop::setPicture(const QString &file)
{
    const std::optional<QByteArray> listing = m_tools.run(
        tool, {QStringLiteral("-c"), channel, QStringLiteral("-l"), QStringLiteral("-v")}, largestListing);
    if (!listing)
        return false;
    const QList<Backdrop> listed = backdrops(*listing);
    // xfdesktop lists the monitors and workspaces it draws on when it starts.
    if (listed.isEmpty())
        throw DesktopError(
            translated("Xfce’s desktop lists no monitor to show a background on (xfdesktop has "
                       "not run), so the desktop was left as it is."));
    if (listed.size() > mostBackdrops)
        throw DesktopError(translated("Xfce’s desktop lists %1 monitors and workspaces, more than the %2 the "
                                      "program changes, so the desktop was left as it is.")
                               .arg(listed.size())
                               .arg(mostBackdrops));
    const auto set = [this](const QString &property, const QString &type, const QString &value) {
        m_tools.run(tool,
                    {QStringLiteral("-c"), channel, QStringLiteral("-p"), property, QStringLiteral("-n"),
                     QStringLiteral("-t"), type, QStringLiteral("-s"), value});
    };
    for (const Backdrop &backdrop : listed) {
        if (backdrop.lastImage != file)
            set(backdrop.path + QStringLiteral("/last-image"), QStringLiteral("string"), file);
        if (backdrop.imageStyle != zoomed)
            set(backdrop.path + QStringLiteral("/image-style"), QStringLiteral("int"), zoomed);
    }
    return true;
}

} // namespace Platform
