#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>

namespace TestSupport {

// GNOME's settings for one test, without GNOME: the schemas of the keys the program uses, compiled
// into a temporary folder, and a keyfile in place of the desktop's store (dconf). Keys and enumeration
// values can be left out, to stand for a GNOME that lacks them, and so can the dock's schema.
//
// The keyfile lies where GSettings' keyfile backend looks for it under configHome(), so a child
// process started with environment() keeps its settings there too.
class GnomeSettings
{
public:
    struct Without
    {
        QStringList keys; // "org.gnome.desktop.interface:accent-color"
        QStringList values; // "accent-color:slate" (a nick of the key's enumeration)
        bool dock = false;

        static Without theKeys(const QStringList &keys) { return {keys, {}, false}; }
        static Without theValues(const QStringList &values) { return {{}, values, false}; }
        static Without theDock() { return {{}, {}, true}; }
    };

    GnomeSettings()
        : GnomeSettings(Without())
    { }

    explicit GnomeSettings(const Without &without)
    {
        QDir().mkpath(schemaFolder());
        QDir().mkpath(QFileInfo(keyfile()).absolutePath());
        QFile schemas(QDir(schemaFolder()).filePath(QStringLiteral("tapestrel-tests.gschema.xml")));
        if (!schemas.open(QIODevice::WriteOnly) || schemas.write(schemaText(without).toUtf8()) < 0)
            return;
        schemas.close();
        QProcess compiler;
        compiler.start(QStringLiteral("glib-compile-schemas"), {QStringLiteral("--strict"), schemaFolder()});
        m_compiled = compiler.waitForFinished(30000) && compiler.exitStatus() == QProcess::NormalExit
            && compiler.exitCode() == 0;
        if (!m_compiled)
            m_error = QString::fromUtf8(compiler.readAllStandardError()) + compiler.errorString();
    }

    bool isValid() const { return m_folder.isValid() && m_compiled; }
    QString error() const { return m_error; }

    QString schemaFolder() const { return m_folder.filePath(QStringLiteral("schemas")); }
    QString configHome() const { return m_folder.filePath(QStringLiteral("config")); }
    QString keyfile() const { return configHome() + QStringLiteral("/glib-2.0/settings/keyfile"); }

    // For a child process: its GSettings use these schemas and this keyfile.
    void addTo(QProcessEnvironment &environment) const
    {
        environment.insert(QStringLiteral("GSETTINGS_SCHEMA_DIR"), schemaFolder());
        environment.insert(QStringLiteral("GSETTINGS_BACKEND"), QStringLiteral("keyfile"));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome());
    }

    // The keyfile's text for a key, as GSettings writes it ("'prefer-dark'", "true", "48"); nothing
    // when the keyfile does not hold the key. `path` is the schema's path without its slashes at the
    // ends ("org/gnome/desktop/interface").
    std::optional<QString> value(const QString &path, const QString &key) const
    {
        QFile file(keyfile());
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QString group = QLatin1Char('[') + path + QLatin1Char(']');
        bool inGroup = false;
        std::optional<QString> found;
        for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
            const QString trimmed = line.trimmed();
            if (trimmed.startsWith(u'[')) {
                inGroup = trimmed == group;
            } else if (inGroup && trimmed.section(u'=', 0, 0).trimmed() == key) {
                found = trimmed.section(u'=', 1).trimmed();
            }
        }
        return found;
    }

    // Puts values in the keyfile before the settings are first read: "[group]" lines and "key=value"
    // lines as GSettings writes them.
    bool seed(const QString &text) const
    {
        QFile file(keyfile());
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text.toUtf8()) >= 0;
    }

    QByteArray keyfileBytes() const
    {
        QFile file(keyfile());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    static QString enumeration(const QString &id, const QString &key, const QStringList &nicks,
                               const Without &without)
    {
        QString text = QStringLiteral("  <enum id=\"%1\">\n").arg(id);
        for (int value = 0; value < nicks.size(); ++value) {
            if (!without.values.contains(key + QLatin1Char(':') + nicks[value]))
                text +=
                    QStringLiteral("    <value nick=\"%1\" value=\"%2\"/>\n").arg(nicks[value]).arg(value);
        }
        return text + QStringLiteral("  </enum>\n");
    }

    static QString keys(const QString &schema, const QString &path, const QStringList &lines,
                        const Without &without)
    {
        QString text = QStringLiteral("  <schema id=\"%1\" path=\"/%2/\">\n").arg(schema, path);
        for (const QString &line : lines) {
            const QString name = line.section(u'"', 1, 1);
            if (!without.keys.contains(schema + QLatin1Char(':') + name))
                text += QStringLiteral("    ") + line + QLatin1Char('\n');
        }
        return text + QStringLiteral("  </schema>\n");
    }

    static QString schemaText(const Without &without)
    {
        QString text = QStringLiteral("<schemalist>\n");
        text += enumeration(
            QStringLiteral("tests.ColorScheme"), QStringLiteral("color-scheme"),
            {QStringLiteral("default"), QStringLiteral("prefer-dark"), QStringLiteral("prefer-light")},
            without);
        text += enumeration(QStringLiteral("tests.AccentColor"), QStringLiteral("accent-color"),
                            {QStringLiteral("blue"), QStringLiteral("teal"), QStringLiteral("green"),
                             QStringLiteral("yellow"), QStringLiteral("orange"), QStringLiteral("red"),
                             QStringLiteral("pink"), QStringLiteral("purple"), QStringLiteral("slate")},
                            without);
        text += enumeration(QStringLiteral("tests.BackgroundStyle"), QStringLiteral("picture-options"),
                            {QStringLiteral("none"), QStringLiteral("wallpaper"), QStringLiteral("centered"),
                             QStringLiteral("scaled"), QStringLiteral("stretched"), QStringLiteral("zoom"),
                             QStringLiteral("spanned")},
                            without);
        text += enumeration(
            QStringLiteral("tests.BackgroundShading"), QStringLiteral("color-shading-type"),
            {QStringLiteral("solid"), QStringLiteral("vertical"), QStringLiteral("horizontal")}, without);
        text += enumeration(QStringLiteral("tests.DockPosition"), QStringLiteral("dock-position"),
                            {QStringLiteral("TOP"), QStringLiteral("RIGHT"), QStringLiteral("BOTTOM"),
                             QStringLiteral("LEFT")},
                            without);
        text += keys(
            QStringLiteral("org.gnome.desktop.interface"), QStringLiteral("org/gnome/desktop/interface"),
            {QStringLiteral(
                 "<key name=\"color-scheme\" enum=\"tests.ColorScheme\"><default>'default'</default></key>"),
             QStringLiteral("<key name=\"gtk-theme\" type=\"s\"><default>'Adwaita'</default></key>"),
             QStringLiteral(
                 "<key name=\"accent-color\" enum=\"tests.AccentColor\"><default>'blue'</default></key>")},
            without);
        text += keys(
            QStringLiteral("org.gnome.desktop.background"), QStringLiteral("org/gnome/desktop/background"),
            {QStringLiteral(
                 "<key name=\"picture-uri\" "
                 "type=\"s\"><default>'file:///usr/share/backgrounds/default.png'</default></key>"),
             QStringLiteral(
                 "<key name=\"picture-uri-dark\" "
                 "type=\"s\"><default>'file:///usr/share/backgrounds/default-dark.png'</default></key>"),
             QStringLiteral("<key name=\"picture-options\" "
                            "enum=\"tests.BackgroundStyle\"><default>'zoom'</default></key>"),
             QStringLiteral("<key name=\"primary-color\" type=\"s\"><default>'#023c88'</default></key>"),
             QStringLiteral("<key name=\"color-shading-type\" "
                            "enum=\"tests.BackgroundShading\"><default>'solid'</default></key>")},
            without);
        if (!without.dock)
            text += keys(
                QStringLiteral("org.gnome.shell.extensions.dash-to-dock"),
                QStringLiteral("org/gnome/shell/extensions/dash-to-dock"),
                {QStringLiteral("<key name=\"dock-position\" "
                                "enum=\"tests.DockPosition\"><default>'LEFT'</default></key>"),
                 QStringLiteral("<key name=\"dock-fixed\" type=\"b\"><default>true</default></key>"),
                 QStringLiteral("<key name=\"autohide\" type=\"b\"><default>true</default></key>"),
                 QStringLiteral("<key name=\"dash-max-icon-size\" type=\"i\"><default>48</default></key>")},
                without);
        return text + QStringLiteral("</schemalist>\n");
    }

    QTemporaryDir m_folder;
    bool m_compiled = false;
    QString m_error;
};

} // namespace TestSupport
