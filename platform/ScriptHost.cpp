#include "platform/ScriptHost.h"

#include "platform/AtomicFile.h"
#include "platform/Home.h"
#include "platform/LinuxDesktop.h"
#include "platform/PropertyList.h"
#include "platform/RegularFile.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFuture>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QMutexLocker>
#include <QPromise>
#include <QThreadPool>

#include <QCoro/QCoroFuture>

#include <cmath>
#include <functional>
#include <memory>
#include <vector>

namespace Platform {

// ---------------------------------------------------------------------------------------------------
// Values

ScriptValue ScriptValue::boolean(bool value)
{
    ScriptValue result;
    result.m_kind = Kind::Boolean;
    result.m_boolean = value;
    return result;
}

ScriptValue ScriptValue::integer(qint64 value)
{
    ScriptValue result;
    result.m_kind = Kind::Integer;
    result.m_number = static_cast<double>(value);
    return result;
}

ScriptValue ScriptValue::real(double value)
{
    ScriptValue result;
    result.m_kind = Kind::Real;
    result.m_number = value;
    return result;
}

ScriptValue ScriptValue::text(const QString &value)
{
    ScriptValue result;
    result.m_kind = Kind::Text;
    result.m_text = value;
    return result;
}

ScriptValue ScriptValue::enumerated(const QString &code)
{
    ScriptValue result;
    result.m_kind = Kind::Enumerated;
    result.m_text = code;
    return result;
}

std::optional<bool> ScriptValue::booleanValue() const
{
    switch (m_kind) {
    case Kind::Boolean:
        return m_boolean;
    case Kind::Integer:
    case Kind::Real:
        return m_number != 0.0;
    case Kind::Text:
        if (m_text.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0
            || m_text.compare(QLatin1String("yes"), Qt::CaseInsensitive) == 0)
            return true;
        if (m_text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0
            || m_text.compare(QLatin1String("no"), Qt::CaseInsensitive) == 0)
            return false;
        return std::nullopt;
    case Kind::Null:
    case Kind::Enumerated:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<double> ScriptValue::doubleValue() const
{
    switch (m_kind) {
    case Kind::Integer:
    case Kind::Real:
        return m_number;
    case Kind::Text: {
        bool ok = false;
        const double number = QLocale::c().toDouble(m_text, &ok);
        return ok ? std::optional<double>(number) : std::nullopt;
    }
    case Kind::Null:
    case Kind::Boolean:
    case Kind::Enumerated:
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<QString> ScriptValue::stringValue() const
{
    switch (m_kind) {
    case Kind::Text:
    case Kind::Enumerated:
        return m_text;
    case Kind::Boolean:
        return QString(m_boolean ? QStringLiteral("true") : QStringLiteral("false"));
    case Kind::Integer:
        return QString::number(static_cast<qint64>(m_number));
    case Kind::Real:
        return QString::number(m_number, 'g', QLocale::FloatingPointShortest);
    case Kind::Null:
        return std::nullopt;
    }
    return std::nullopt;
}

namespace {

// ---------------------------------------------------------------------------------------------------
// Errors travel as exceptions inside this file only; execute() turns each into a failed result.

struct ScriptError
{
    int number;
    QString message;
};

[[noreturn]] void fail(int number, const QString &message)
{
    throw ScriptError {number, message};
}

[[noreturn]] void syntaxFail(const QString &message)
{
    fail(ScriptHost::syntaxError, message);
}

// ---------------------------------------------------------------------------------------------------
// Reading the text

struct Token
{
    enum class Type { Word, String, Number, Minus, Newline, End };
    Type type = Type::End;
    QString text; // words in lower case; strings unescaped
    double number = 0.0;
};

std::vector<Token> tokenize(const QString &source)
{
    std::vector<Token> tokens;
    qsizetype i = 0;
    const qsizetype n = source.size();
    auto pushNewline = [&] {
        if (tokens.empty() || tokens.back().type != Token::Type::Newline)
            tokens.push_back({Token::Type::Newline, {}, 0.0});
    };
    while (i < n) {
        const QChar c = source.at(i);
        if (c == u' ' || c == u'\t') {
            ++i;
        } else if (c == u'\n' || c == u'\r') {
            pushNewline();
            ++i;
        } else if (c == QChar(0x00AC)) { // continuation: the statement goes on on the next line
            ++i;
            while (i < n && (source.at(i) == u' ' || source.at(i) == u'\t'))
                ++i;
            if (i < n && source.at(i) == u'\r')
                ++i;
            if (i < n && source.at(i) == u'\n')
                ++i;
        } else if (c == u'-' && i + 1 < n && source.at(i + 1) == u'-') {
            while (i < n && source.at(i) != u'\n' && source.at(i) != u'\r')
                ++i;
        } else if (c == u'"') {
            ++i;
            QString text;
            bool closed = false;
            while (i < n) {
                const QChar d = source.at(i++);
                if (d == u'"') {
                    closed = true;
                    break;
                }
                if (d == u'\\') {
                    if (i >= n)
                        break;
                    const QChar e = source.at(i++);
                    if (e == u'"' || e == u'\\')
                        text += e;
                    else if (e == u'n')
                        text += u'\n';
                    else if (e == u'r')
                        text += u'\r';
                    else if (e == u't')
                        text += u'\t';
                    else
                        syntaxFail(QStringLiteral("Expected “\"” but found unknown token."));
                } else {
                    text += d;
                }
            }
            if (!closed)
                syntaxFail(QStringLiteral("Expected “\"” but found end of script."));
            tokens.push_back({Token::Type::String, text, 0.0});
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && source.at(i + 1).isDigit())) {
            const qsizetype start = i;
            while (i < n && source.at(i).isDigit())
                ++i;
            if (i < n && source.at(i) == u'.') {
                ++i;
                while (i < n && source.at(i).isDigit())
                    ++i;
            }
            if (i < n && (source.at(i) == u'e' || source.at(i) == u'E')) {
                qsizetype j = i + 1;
                if (j < n && (source.at(j) == u'+' || source.at(j) == u'-'))
                    ++j;
                if (j < n && source.at(j).isDigit()) {
                    i = j;
                    while (i < n && source.at(i).isDigit())
                        ++i;
                }
            }
            if (i < n && (source.at(i).isLetter() || source.at(i) == u'_'))
                syntaxFail(QStringLiteral("Expected end of line but found identifier."));
            bool ok = false;
            const double number = QLocale::c().toDouble(source.mid(start, i - start), &ok);
            if (!ok)
                syntaxFail(QStringLiteral("Expected expression but found unknown token."));
            tokens.push_back({Token::Type::Number, source.mid(start, i - start), number});
        } else if (c.isLetter() || c == u'_') {
            const qsizetype start = i;
            while (i < n && (source.at(i).isLetterOrNumber() || source.at(i) == u'_'))
                ++i;
            tokens.push_back({Token::Type::Word, source.mid(start, i - start).toLower(), 0.0});
        } else if (c == u'-') {
            tokens.push_back({Token::Type::Minus, QStringLiteral("-"), 0.0});
            ++i;
        } else {
            syntaxFail(QStringLiteral("Expected expression but found unknown token."));
        }
    }
    pushNewline();
    tokens.push_back({Token::Type::End, {}, 0.0});
    return tokens;
}

struct Value
{
    enum class Kind { Boolean, Number, Text, Constant };
    Kind kind = Kind::Text;
    bool boolean = false;
    double number = 0.0;
    QString text;
};

struct Statement
{
    enum class Kind { Tell, Get, Set };
    Kind kind = Kind::Get;
    bool targetIsApplication = false;
    QString target; // an application's name, or the words naming an object
    QString property; // lower-case words joined by single blanks
    Value value;
    std::vector<Statement> body;
};

class Parser
{
public:
    explicit Parser(std::vector<Token> tokens)
        : m_tokens(std::move(tokens))
    { }

    std::vector<Statement> parseScript() { return parseBlock(false); }

private:
    const Token &peek() const { return m_tokens[m_pos]; }
    const Token &take() { return m_tokens[m_pos++]; }
    bool atWord(const char *word) const
    {
        return peek().type == Token::Type::Word && peek().text == QLatin1String(word);
    }
    bool atLineEnd() const { return peek().type == Token::Type::Newline || peek().type == Token::Type::End; }

    void skipNewlines()
    {
        while (peek().type == Token::Type::Newline)
            ++m_pos;
    }

    void expectLineEnd()
    {
        if (!atLineEnd())
            syntaxFail(QStringLiteral("Expected end of line but found “%1”.").arg(peek().text));
    }

    std::vector<Statement> parseBlock(bool insideTell)
    {
        std::vector<Statement> statements;
        for (;;) {
            skipNewlines();
            if (peek().type == Token::Type::End) {
                if (insideTell)
                    syntaxFail(QStringLiteral("Expected “end” or “end tell” but found end of script."));
                return statements;
            }
            if (atWord("end")) {
                if (!insideTell)
                    syntaxFail(QStringLiteral("Expected end of line, etc. but found “end”."));
                take();
                if (atWord("tell"))
                    take();
                expectLineEnd();
                return statements;
            }
            statements.push_back(parseStatement());
            expectLineEnd();
        }
    }

    Statement parseStatement()
    {
        if (atWord("tell"))
            return parseTell();
        return parseCommand();
    }

    Statement parseTell()
    {
        take(); // tell
        Statement tell;
        tell.kind = Statement::Kind::Tell;
        if (atWord("application") || atWord("app")) {
            take();
            if (peek().type != Token::Type::String)
                syntaxFail(QStringLiteral("Expected application name but found “%1”.").arg(peek().text));
            tell.targetIsApplication = true;
            tell.target = take().text;
        } else {
            QStringList words;
            while (peek().type == Token::Type::Word && !atWord("to"))
                words.append(take().text);
            if (words.isEmpty())
                syntaxFail(QStringLiteral("Expected expression but found “%1”.").arg(peek().text));
            tell.target = words.join(u' ');
        }
        if (atWord("to")) {
            take();
            if (atLineEnd())
                syntaxFail(QStringLiteral("Expected expression but found end of line."));
            tell.body.push_back(parseStatement());
            return tell;
        }
        if (peek().type != Token::Type::Newline)
            syntaxFail(QStringLiteral("Expected end of line but found “%1”.").arg(peek().text));
        tell.body = parseBlock(true);
        return tell;
    }

    Statement parseCommand()
    {
        Statement command;
        if (atWord("get")) {
            take();
            command.kind = Statement::Kind::Get;
            command.property = propertyWords();
            expectLineEnd();
            return command;
        }
        if (atWord("set")) {
            take();
            command.kind = Statement::Kind::Set;
            command.property = propertyWords();
            if (atWord("to"))
                take();
            command.value = parseValue();
            return command;
        }
        syntaxFail(QStringLiteral("Expected expression but found “%1”.").arg(peek().text));
    }

    QString propertyWords()
    {
        QStringList words;
        while (peek().type == Token::Type::Word && !atWord("to"))
            words.append(take().text);
        if (words.isEmpty())
            syntaxFail(QStringLiteral("Expected expression but found “%1”.").arg(peek().text));
        return words.join(u' ');
    }

    Value parseValue()
    {
        Value value;
        const Token &token = take();
        switch (token.type) {
        case Token::Type::String:
            value.kind = Value::Kind::Text;
            value.text = token.text;
            return value;
        case Token::Type::Number:
            value.kind = Value::Kind::Number;
            value.number = token.number;
            return value;
        case Token::Type::Minus:
            if (peek().type != Token::Type::Number)
                syntaxFail(QStringLiteral("Expected expression but found “-”."));
            value.kind = Value::Kind::Number;
            value.number = -take().number;
            return value;
        case Token::Type::Word:
            if (token.text == QLatin1String("yes") || token.text == QLatin1String("true")) {
                value.kind = Value::Kind::Boolean;
                value.boolean = true;
            } else if (token.text == QLatin1String("no") || token.text == QLatin1String("false")) {
                value.kind = Value::Kind::Boolean;
                value.boolean = false;
            } else {
                value.kind = Value::Kind::Constant;
                value.text = token.text;
            }
            return value;
        case Token::Type::Newline:
        case Token::Type::End:
            break;
        }
        syntaxFail(QStringLiteral("Expected expression but found end of line."));
    }

    std::vector<Token> m_tokens;
    size_t m_pos = 0;
};

// ---------------------------------------------------------------------------------------------------
// Running it against the emulated state

enum class Target { Top, SystemEvents, Alfred, AppearancePreferences, DockPreferences, Desktop };

const QString dockDomain = QStringLiteral("com.apple.dock");
const QString desktopDomain = QStringLiteral("com.apple.desktop");
constexpr double smallestTile = 16.0;
constexpr double largestTile = 128.0;
constexpr double defaultTile = 48.0;

UserDefaults &domain(const QString &name)
{
    UserDefaults *defaults = UserDefaults::suite(name);
    Q_ASSERT(defaults);
    return *defaults;
}

// An invalid value removes the key. A write that fails says why, in the writer's words.
void store(UserDefaults &defaults, const QString &key, const QVariant &value)
{
    QString error;
    if (!defaults.setValue(key, value, &error))
        fail(-10004,
             error.isEmpty() ? QStringLiteral("%1 could not be written.").arg(defaults.filePath()) : error);
}

bool requireBoolean(const Value &value, const QString &property)
{
    if (value.kind != Value::Kind::Boolean)
        fail(ScriptHost::cannotMakeError, QStringLiteral("Can’t make %1 into type boolean.").arg(property));
    return value.boolean;
}

QString describe(const Value &value)
{
    switch (value.kind) {
    case Value::Kind::Boolean:
        return value.boolean ? QStringLiteral("true") : QStringLiteral("false");
    case Value::Kind::Number:
        return QString::number(value.number, 'g', QLocale::FloatingPointShortest);
    case Value::Kind::Text:
        return QLatin1Char('"') + value.text + QLatin1Char('"');
    case Value::Kind::Constant:
        return value.text;
    }
    return {};
}

bool isDarkAppearance()
{
    return UserDefaults::global().string(QStringLiteral("AppleInterfaceStyle")) == QStringLiteral("Dark");
}

// What the person sees: the real desktop's appearance where the program reaches it.
bool showsDarkAppearance()
{
    return LinuxDesktop::currentDarkMode().value_or(isDarkAppearance());
}

// One script's run: whether its changes reach the real desktop, and why the desktop refused one.
struct Run
{
    ScriptHost::Reach reach = ScriptHost::Reach::desktop;
    QString desktopFailure;
};

// Hands a change that the emulated state has taken to the real desktop, where there is one.
void mirror(Run &run, const std::function<void(LinuxDesktop &)> &change)
{
    if (run.reach != ScriptHost::Reach::desktop)
        return;
    const std::shared_ptr<LinuxDesktop> desktop = LinuxDesktop::current();
    if (!desktop)
        return;
    try {
        change(*desktop);
    } catch (const DesktopError &error) {
        run.desktopFailure = error.message();
    }
}

ScriptValue getProperty(Target target, const QString &property)
{
    if (target == Target::AppearancePreferences && property == QLatin1String("dark mode"))
        return ScriptValue::boolean(showsDarkAppearance());
    if (target == Target::DockPreferences) {
        UserDefaults &dock = domain(dockDomain);
        const std::shared_ptr<LinuxDesktop> desktop = LinuxDesktop::current();
        if (property == QLatin1String("screen edge")) {
            const QString orientation =
                (desktop ? desktop->dockPosition() : std::nullopt)
                    .value_or(dock.string(QStringLiteral("orientation")).value_or(QString()));
            if (orientation == QLatin1String("left"))
                return ScriptValue::enumerated(QStringLiteral("left"));
            if (orientation == QLatin1String("right"))
                return ScriptValue::enumerated(QStringLiteral("righ"));
            return ScriptValue::enumerated(QStringLiteral("bott"));
        }
        if (property == QLatin1String("dock size")) {
            double tile = dock.contains(QStringLiteral("tilesize")) ? dock.real(QStringLiteral("tilesize"))
                                                                    : defaultTile;
            tile = std::clamp(std::isfinite(tile) ? tile : defaultTile, smallestTile, largestTile);
            const double size = (desktop ? desktop->dockSize() : std::nullopt)
                                    .value_or((tile - smallestTile) / (largestTile - smallestTile));
            // Six decimals, so that a size set by a script reads back as the number that was set.
            return ScriptValue::real(std::round(size * 1e6) / 1e6);
        }
        if (property == QLatin1String("autohide"))
            return ScriptValue::boolean((desktop ? desktop->dockAutoHide() : std::nullopt)
                                            .value_or(dock.boolean(QStringLiteral("autohide"))));
        if (property == QLatin1String("magnification"))
            return ScriptValue::boolean(dock.boolean(QStringLiteral("magnification")));
        if (property == QLatin1String("autohide menu bar"))
            return ScriptValue::boolean(UserDefaults::global().boolean(QStringLiteral("_HIHideMenuBar")));
    }
    if (target == Target::Desktop && property == QLatin1String("picture")) {
        const std::shared_ptr<LinuxDesktop> desktop = LinuxDesktop::current();
        const std::optional<DesktopPicture> shown = desktop ? desktop->picture() : std::nullopt;
        if (shown && !shown->file.isEmpty())
            return ScriptValue::text(shown->file);
        const auto background = domain(desktopDomain).dictionary(QStringLiteral("Background"));
        const QVariant path = background
            ? background->value(QStringLiteral("default")).toMap().value(QStringLiteral("ImageFilePath"))
            : QVariant();
        if (path.typeId() == QMetaType::QString && !path.toString().isEmpty())
            return ScriptValue::text(path.toString());
        return ScriptValue::null(); // a picture the system cannot name (a dynamic one)
    }
    fail(ScriptHost::cannotGetError, QStringLiteral("Can’t get %1.").arg(property));
}

// Alfred's JSON files are small; one far larger is not read.
constexpr qint64 maximumAlfredJsonSize = 8 * 1024 * 1024;

// The object in one of Alfred's JSON files (empty when it holds none); nothing when there is no
// regular file to read (a named pipe in its place would keep the script waiting for a writer).
std::optional<QJsonObject> alfredJson(const QString &path)
{
    const RegularFile::Contents contents = RegularFile::read(path, maximumAlfredJsonSize);
    if (!contents.bytes)
        return std::nullopt;
    return QJsonDocument::fromJson(*contents.bytes).object();
}

QString alfredPointerFile()
{
    return Home::path(QStringLiteral("Library/Application Support/Alfred/prefs.json"));
}

// Alfred's synced appearance preferences, from its pointer file.
QString alfredAppearanceFile()
{
    const std::optional<QJsonObject> pointer = alfredJson(alfredPointerFile());
    if (!pointer)
        fail(-1728, QStringLiteral("Alfred got an error: Can’t find the preferences."));
    const QString current = pointer->value(QLatin1String("current")).toString();
    const QString localHash = pointer->value(QLatin1String("localhash")).toString();
    if (current.isEmpty() || localHash.isEmpty() || localHash.contains(u'/') || localHash.startsWith(u'.'))
        fail(-1728, QStringLiteral("Alfred got an error: Can’t find the preferences."));
    return Home::resolve(current) + QStringLiteral("/preferences/local/") + localHash
        + QStringLiteral("/appearance/prefs.plist");
}

QString alfredThemeIdentifier(const QString &name)
{
    static const std::pair<const char *, const char *> builtIn[] = {
        {"theme.bundled.default", "Alfred"},
        {"theme.bundled.dark", "Alfred Dark"},
        {"theme.bundled.modern", "Alfred Modern"},
        {"theme.bundled.moderndark", "Alfred Modern Dark"},
        {"theme.bundled.classic", "Alfred Classic"},
        {"theme.bundled.osx", "Alfred macOS "},
        {"theme.bundled.osxdark", "Alfred macOS Dark"},
        {"theme.bundled.frostyteal", "Frosty Teal"},
        {"theme.bundled.modernavenir", "Large Avenir"},
        {"theme.bundled.highcontrast", "High Contrast Light "},
    };
    for (const auto &[identifier, themeName] : builtIn) {
        if (name == QString::fromUtf8(themeName))
            return QString::fromUtf8(identifier);
    }
    // User themes: one folder per theme below the synced preferences' "themes", named by its uid.
    if (const std::optional<QJsonObject> pointer = alfredJson(alfredPointerFile())) {
        const QString current = pointer->value(QLatin1String("current")).toString();
        const QDir themes(Home::resolve(current) + QStringLiteral("/themes"));
        if (!current.isEmpty()) {
            const QStringList entries =
                themes.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden, QDir::Name);
            for (const QString &entry : entries) {
                const QJsonObject theme = alfredJson(themes.filePath(entry + QStringLiteral("/theme.json")))
                                              .value_or(QJsonObject());
                if (theme.value(QLatin1String("alfredtheme"))
                        .toObject()
                        .value(QLatin1String("name"))
                        .toString()
                    == name)
                    return entry;
            }
        }
    }
    fail(-1728, QStringLiteral("Alfred got an error: Can’t find the theme “%1”.").arg(name));
}

void setAlfredTheme(const QString &name)
{
    const QString path = alfredAppearanceFile();
    const QString identifier = alfredThemeIdentifier(name);
    QVariantMap values;
    // Read in the exact form, so that the rewrite changes nothing but the theme.
    const PropertyList::Reading existing = PropertyList::readFile(path, PropertyList::Form::Exact);
    if (existing.status != PropertyList::Status::Missing) {
        // never replace a file that cannot be understood
        if (!existing.isRead() || existing.value.typeId() != QMetaType::QVariantMap)
            fail(-54, QStringLiteral("Alfred got an error: The preferences cannot be read."));
        values = existing.value.toMap();
    }
    // Alfred files the theme under the appearance that is showing.
    values.insert(showsDarkAppearance() ? QStringLiteral("darkthemeuid") : QStringLiteral("lightthemeuid"),
                  identifier);
    // A list the XML form cannot hold, or one past the limits its readers take, comes back empty: the
    // user's preferences are then left as they are rather than replaced by nothing.
    QString why;
    const QByteArray bytes = PropertyList::toXml(values, &why);
    if (!bytes.isEmpty()) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        const std::optional<AtomicFile::Failure> failure = AtomicFile::replace(path, bytes);
        if (!failure)
            return;
        why = failure->reason;
    }
    fail(-61, QStringLiteral("Alfred got an error: The preferences cannot be written: %1.").arg(why));
}

void setProperty(Run &run, Target target, const QString &property, const Value &value)
{
    if (target == Target::AppearancePreferences && property == QLatin1String("dark mode")) {
        const bool dark = requireBoolean(value, describe(value));
        store(UserDefaults::global(), QStringLiteral("AppleInterfaceStyle"),
              dark ? QVariant(QStringLiteral("Dark")) : QVariant());
        mirror(run, [dark](LinuxDesktop &) { LinuxDesktop::applyDarkMode(dark); });
        return;
    }
    if (target == Target::DockPreferences) {
        UserDefaults &dock = domain(dockDomain);
        if (property == QLatin1String("screen edge")) {
            if (value.kind != Value::Kind::Constant
                || (value.text != QLatin1String("left") && value.text != QLatin1String("bottom")
                    && value.text != QLatin1String("right")))
                fail(ScriptHost::cannotMakeError,
                     QStringLiteral("Can’t make %1 into type constant.").arg(describe(value)));
            store(dock, QStringLiteral("orientation"), value.text);
            mirror(run, [&value](LinuxDesktop &desktop) { desktop.setDockPosition(value.text); });
            return;
        }
        if (property == QLatin1String("dock size")) {
            if (value.kind != Value::Kind::Number || !std::isfinite(value.number))
                fail(ScriptHost::cannotMakeError,
                     QStringLiteral("Can’t make %1 into type real.").arg(describe(value)));
            const double size = std::clamp(value.number, 0.0, 1.0);
            store(dock, QStringLiteral("tilesize"), smallestTile + size * (largestTile - smallestTile));
            mirror(run, [size](LinuxDesktop &desktop) { desktop.setDockSize(size); });
            return;
        }
        if (property == QLatin1String("autohide") || property == QLatin1String("magnification")) {
            const bool on = requireBoolean(value, describe(value));
            store(dock, property, on);
            if (property == QLatin1String("autohide"))
                mirror(run, [on](LinuxDesktop &desktop) { desktop.setDockAutoHide(on); });
            return;
        }
        if (property == QLatin1String("autohide menu bar")) {
            store(UserDefaults::global(), QStringLiteral("_HIHideMenuBar"),
                  requireBoolean(value, describe(value)));
            return;
        }
    }
    if (target == Target::Alfred && property == QLatin1String("theme")) {
        if (value.kind != Value::Kind::Text)
            fail(ScriptHost::cannotMakeError,
                 QStringLiteral("Can’t make %1 into type text.").arg(describe(value)));
        setAlfredTheme(value.text);
        return;
    }
    if (target == Target::Desktop && property == QLatin1String("picture"))
        fail(ScriptHost::cannotSetError, QStringLiteral("Can’t set picture of desktop 1."));
    fail(ScriptHost::cannotSetError, QStringLiteral("Can’t set %1 to %2.").arg(property, describe(value)));
}

Target resolveTarget(Target context, const Statement &tell)
{
    if (tell.targetIsApplication) {
        if (tell.target.compare(QLatin1String("System Events"), Qt::CaseInsensitive) == 0)
            return Target::SystemEvents;
        if (tell.target.compare(QLatin1String("Alfred"), Qt::CaseInsensitive) == 0
            && Workspace::shared().applicationNamed(QStringLiteral("Alfred")))
            return Target::Alfred;
        fail(ScriptHost::cannotGetError, QStringLiteral("Can’t get application \"%1\".").arg(tell.target));
    }
    if (context == Target::SystemEvents) {
        if (tell.target == QLatin1String("appearance preferences"))
            return Target::AppearancePreferences;
        if (tell.target == QLatin1String("dock preferences"))
            return Target::DockPreferences;
        if (tell.target == QLatin1String("first desktop") || tell.target == QLatin1String("desktop 1"))
            return Target::Desktop;
    }
    fail(ScriptHost::cannotGetError, QStringLiteral("Can’t get %1.").arg(tell.target));
}

ScriptValue runStatements(Run &run, Target context, const std::vector<Statement> &statements)
{
    ScriptValue result;
    for (const Statement &statement : statements) {
        switch (statement.kind) {
        case Statement::Kind::Tell:
            result = runStatements(run, resolveTarget(context, statement), statement.body);
            break;
        case Statement::Kind::Get:
            result = getProperty(context, statement.property);
            break;
        case Statement::Kind::Set:
            setProperty(run, context, statement.property, statement.value);
            result = ScriptValue::null();
            break;
        }
    }
    return result;
}

// Scripts have threads of their own, so that work stuck elsewhere in the shared pool never holds
// a script back (and a slow script never holds anyone else back).
QThreadPool &scriptThreads()
{
    static QThreadPool *pool = [] {
        auto *threads = new QThreadPool;
        threads->setMaxThreadCount(4);
        return threads;
    }();
    return *pool;
}

ScriptResult executeShared(const QString &source, ScriptHost::Reach reach)
{
    return ScriptHost::shared().execute(source, reach);
}

} // namespace

// ---------------------------------------------------------------------------------------------------

ScriptHost &ScriptHost::shared()
{
    static ScriptHost *instance = new ScriptHost;
    return *instance;
}

bool ScriptHost::isAutomationRefused()
{
    const QByteArray flag = qgetenv("TAPESTREL_REFUSE_AUTOMATION");
    if (!flag.isEmpty() && flag != "0")
        return true;
    return QFileInfo::exists(Home::path(QStringLiteral("Library/Workspace/AutomationRefused")));
}

ScriptResult ScriptHost::execute(const QString &source, Reach reach)
{
    record(source);
    try {
        // The whole text compiles before anything runs: a syntax error changes nothing.
        std::vector<Statement> statements = Parser(tokenize(source)).parseScript();
        if (isAutomationRefused())
            return ScriptResult::failure(
                notAuthorizedError, QStringLiteral("Not authorized to send Apple events to System Events."));
        Run run {reach, {}};
        ScriptResult result = ScriptResult::success(runStatements(run, Target::Top, statements));
        result.desktopFailure = run.desktopFailure;
        return result;
    } catch (const ScriptError &error) {
        return ScriptResult::failure(error.number, error.message);
    }
}

QCoro::Task<ScriptResult> ScriptHost::run(QString source, Reach reach)
{
    auto promise = std::make_shared<QPromise<ScriptResult>>();
    QFuture<ScriptResult> future = promise->future();
    promise->start();
    scriptThreads().start([promise, source, reach] {
        promise->addResult(executeShared(source, reach));
        promise->finish();
    });
    co_return co_await future;
}

QStringList ScriptHost::history() const
{
    QMutexLocker locker(&m_mutex);
    return m_history;
}

void ScriptHost::clearHistory()
{
    QMutexLocker locker(&m_mutex);
    m_history.clear();
}

void ScriptHost::record(const QString &source)
{
    QMutexLocker locker(&m_mutex);
    m_history.append(source);
    if (m_history.size() > 500)
        m_history.removeFirst();
}

} // namespace Platform
