#include "platform/KdeDesktop.h"

#include "platform/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>

namespace Platform {

namespace {

const QString colorSchemeTool = QStringLiteral("plasma-apply-colorscheme");
const QString wallpaperTool = QStringLiteral("plasma-apply-wallpaperimage");
const QString darkScheme = QStringLiteral("BreezeDark");
const QString lightScheme = QStringLiteral("BreezeLight");
// The accent colour of the Breeze schemes themselves.
const QColor breezeAccent(61, 174, 233);

// A settings file larger than this is no settings file a person keeps.
constexpr qint64 largestGlobals = 1 << 20;

// KConfig's escapes in values: "\s" for a blank, "\t", "\n", "\r" and "\\".
QString unescaped(QStringView value)
{
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != u'\\' || i + 1 == value.size()) {
            result += c;
            continue;
        }
        const QChar next = value[++i];
        if (next == u's')
            result += u' ';
        else if (next == u't')
            result += u'\t';
        else if (next == u'n')
            result += u'\n';
        else if (next == u'r')
            result += u'\r';
        else
            result += next;
    }
    return result;
}

// "r,g,b" (KConfig's form of a colour, with an optional alpha) or "#rrggbb".
QColor colorFromGlobals(const QString &value)
{
    if (value.startsWith(u'#'))
        return QColor::fromString(value);
    const QStringList parts = value.split(u',');
    if (parts.size() != 3 && parts.size() != 4)
        return {};
    int channels[3] = {};
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        channels[i] = parts[i].trimmed().toInt(&ok);
        if (!ok || channels[i] < 0 || channels[i] > 255)
            return {};
    }
    return QColor(channels[0], channels[1], channels[2]);
}

struct NamedAccent
{
    const char *name;
    QColor rgb;
};

const NamedAccent namedAccents[] = {
    {"graphite", QColor(142, 142, 147)}, {"red", QColor(255, 59, 48)},   {"orange", QColor(255, 149, 0)},
    {"yellow", QColor(255, 204, 0)},     {"green", QColor(40, 205, 65)}, {"blue", QColor(0, 122, 255)},
    {"purple", QColor(175, 82, 222)},    {"pink", QColor(255, 45, 85)},
};

} // namespace

QColor KdeDesktop::accentRgb(const QString &name)
{
    for (const NamedAccent &accent : namedAccents) {
        if (name == QLatin1String(accent.name))
            return accent.rgb;
    }
    return breezeAccent;
}

QString KdeDesktop::globalsPath()
{
    QString configHome = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (configHome.isEmpty())
        configHome = QDir::homePath() + QStringLiteral("/.config");
    return configHome + QStringLiteral("/kdeglobals");
}

KdeDesktop::Globals KdeDesktop::parseGlobals(const QByteArray &text)
{
    Globals globals;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString decoded = decoder.decode(text);
    bool inGeneral = false;
    for (QStringView line : QStringView(decoded).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            // "[General]", also with flags after it ("[General][$i]"); "[General][Sub]" is another group.
            inGeneral = line == u"[General]" || line.startsWith(u"[General][$");
            continue;
        }
        if (!inGeneral)
            continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        QStringView key = line.left(equals).trimmed();
        // "Key[de]" is a translation, "Key[$e]" carries flags.
        if (const qsizetype bracket = key.indexOf(u'['); bracket >= 0) {
            if (!key.mid(bracket).startsWith(u"[$"))
                continue;
            key = key.left(bracket).trimmed();
        }
        const QString value = unescaped(line.mid(equals + 1).trimmed());
        if (key == u"ColorScheme")
            globals.colorScheme = value;
        else if (key == u"AccentColor")
            globals.accentColor = value;
    }
    return globals;
}

KdeDesktop::Globals KdeDesktop::globals() const
{
    // Plasma's file, or whatever stands in its place: a pipe or a device is not waited on.
    const RegularFile::Contents contents = RegularFile::read(globalsPath(), largestGlobals);
    return contents.bytes ? parseGlobals(*contents.bytes) : Globals {};
}

std::optional<bool> KdeDesktop::darkMode() const
{
    // Without a scheme of its own, Plasma shows its light one.
    const QString scheme = globals().colorScheme.value_or(lightScheme);
    if (scheme == darkScheme)
        return true;
    if (scheme == lightScheme || scheme == u"Breeze")
        return false;
    return std::nullopt;
}

bool KdeDesktop::setDarkMode(bool dark)
{
    const QString scheme = dark ? darkScheme : lightScheme;
    if (globals().colorScheme == scheme)
        return true;
    return runTool(colorSchemeTool, {scheme});
}

std::optional<QString> KdeDesktop::accentColor() const
{
    const std::optional<QString> stored = globals().accentColor;
    if (!stored)
        return QStringLiteral("multicolor");
    const QColor color = colorFromGlobals(*stored);
    if (color == breezeAccent)
        return QStringLiteral("multicolor");
    for (const NamedAccent &accent : namedAccents) {
        if (color == accent.rgb)
            return QString::fromLatin1(accent.name);
    }
    return std::nullopt;
}

bool KdeDesktop::setAccentColor(const QString &name)
{
    const QColor rgb = accentRgb(name);
    const std::optional<QString> stored = globals().accentColor;
    if (stored && colorFromGlobals(*stored) == rgb)
        return true;
    return runTool(colorSchemeTool, {QStringLiteral("--accent-color"), rgb.name(QColor::HexRgb).toUpper()});
}

bool KdeDesktop::setPicture(const QString &file)
{
    return runTool(wallpaperTool, {file});
}

bool KdeDesktop::setColor(const QColor &)
{
    return false; // Plasma shows colours only as pictures
}

} // namespace Platform
