#include "DefaultsCommand.h"

#include "platform/DefaultsTool.h"
#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>

using Platform::UserDefaults;

namespace {

const QString usage =
    QStringLiteral("usage: tapestrel-defaults read <domain|-g> <key> | write <domain|-g> <key> "
                   "[-string|-bool|-int|-float] <value> | delete <domain|-g> <key>");

DefaultsCommandResult failure(const QString &message)
{
    return {1, QString(), QStringLiteral("tapestrel-defaults: ") + message + QLatin1Char('\n')};
}

void appendQuotedIfNeeded(QString &out, const QString &text)
{
    const auto isPlain = [](QChar c) {
        return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9')
            || QStringView(u"_.$/:-").contains(c);
    };
    if (!text.isEmpty() && std::all_of(text.cbegin(), text.cend(), isPlain)) {
        out += text;
        return;
    }
    out += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        out += c;
    }
    out += QLatin1Char('"');
}

void appendIndent(QString &out, int depth)
{
    out.resize(out.size() + 4 * qsizetype(depth), QLatin1Char(' '));
}

// Texts as they are, Booleans as 1 or 0, numbers in decimal; the other types in a readable
// property-list text form. Everything is appended to `out`, so that the text of a deep value is
// written once rather than copied into each level that holds it.
void describe(QString &out, const QVariant &value, int depth, bool topLevel)
{
    switch (value.typeId()) {
    case QMetaType::QString:
        if (topLevel)
            out += value.toString();
        else
            appendQuotedIfNeeded(out, value.toString());
        return;
    case QMetaType::QByteArray: {
        const QByteArray bytes = value.toByteArray();
        out += QStringLiteral("{length = ") + QString::number(bytes.size()) + QStringLiteral(", bytes = 0x")
            + QString::fromLatin1(bytes.toHex()) + QLatin1Char('}');
        return;
    }
    case QMetaType::QDateTime: {
        // The reader leaves a date it cannot place (millions of years away, or not a number) invalid.
        const QDateTime date = value.toDateTime();
        out += date.isValid() ? date.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"))
                              : QStringLiteral("(date out of range)");
        return;
    }
    case QMetaType::Double:
        // The sign of a zero is kept, as a writer of -0.0 meant it.
        if (const double number = value.toDouble(); number == 0 && std::signbit(number)) {
            out += QStringLiteral("-0");
            return;
        }
        break;
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        out += QStringLiteral("(\n");
        for (qsizetype i = 0; i < list.size(); ++i) {
            appendIndent(out, depth + 1);
            describe(out, list.at(i), depth + 1, false);
            out += i + 1 < list.size() ? QStringLiteral(",\n") : QStringLiteral("\n");
        }
        appendIndent(out, depth);
        out += QLatin1Char(')');
        return;
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        out += QStringLiteral("{\n");
        for (auto it = map.cbegin(); it != map.cend(); ++it) {
            appendIndent(out, depth + 1);
            appendQuotedIfNeeded(out, it.key());
            out += QStringLiteral(" = ");
            describe(out, it.value(), depth + 1, false);
            out += QStringLiteral(";\n");
        }
        appendIndent(out, depth);
        out += QLatin1Char('}');
        return;
    }
    default:
        break;
    }
    out += UserDefaults::stringFromValue(value).value_or(QString());
}

bool isTypeFlag(const QString &argument)
{
    static const QStringList flags {"-string", "-bool", "-boolean", "-int", "-integer", "-float"};
    return flags.contains(argument);
}

// The value of a write, typed by its flag; an invalid QVariant when the text does not parse.
QVariant typedValue(const QString &flag, const QString &text)
{
    if (flag == QLatin1String("-string"))
        return QVariant(text);
    if (flag == QLatin1String("-bool") || flag == QLatin1String("-boolean")) {
        const QString word = text.toLower();
        if (word == QLatin1String("true") || word == QLatin1String("yes") || word == QLatin1String("1"))
            return QVariant(true);
        if (word == QLatin1String("false") || word == QLatin1String("no") || word == QLatin1String("0"))
            return QVariant(false);
        return {};
    }
    bool ok = false;
    if (flag == QLatin1String("-int") || flag == QLatin1String("-integer")) {
        const qint64 number = text.toLongLong(&ok);
        return ok ? QVariant(number) : QVariant();
    }
    const double number = QLocale::c().toDouble(text, &ok);
    return ok ? QVariant(number) : QVariant();
}

} // namespace

DefaultsCommandResult runDefaultsCommand(const QStringList &arguments)
{
    if (arguments.isEmpty())
        return failure(QStringLiteral("no verb given; ") + usage);
    const QString verb = arguments.at(0);
    if (verb != QLatin1String("read") && verb != QLatin1String("write") && verb != QLatin1String("delete"))
        return failure(QStringLiteral("unknown verb \"%1\"; ").arg(verb) + usage);
    if (arguments.size() < 3)
        return failure(QStringLiteral("%1 needs a domain (or -g) and a key; ").arg(verb) + usage);

    const QString domainName = arguments.at(1);
    const QString key = arguments.at(2);
    UserDefaults *domain = Platform::DefaultsTool::domain(domainName);
    if (!domain)
        return failure(QStringLiteral("\"%1\" is not a domain name").arg(domainName));
    if (key.isEmpty())
        return failure(QStringLiteral("the key is empty"));
    // A domain whose file cannot be used says so rather than that the key is missing.
    const auto missing = [&] {
        const QString problem = domain->problem();
        if (!problem.isEmpty())
            return failure(problem);
        return failure(
            QStringLiteral("the domain/default pair of (%1, %2) does not exist").arg(domainName, key));
    };

    if (verb == QLatin1String("read")) {
        // A type flag after the key changes nothing: the stored value is printed as it is.
        if (arguments.size() > 4 || (arguments.size() == 4 && !isTypeFlag(arguments.at(3))))
            return failure(QStringLiteral("read takes a domain, a key and at most a type flag; ") + usage);
        const QVariant value = domain->persistentValue(key);
        if (!value.isValid())
            return missing();
        DefaultsCommandResult result;
        describe(result.output, value, 0, true);
        result.output += QLatin1Char('\n');
        return result;
    }

    if (verb == QLatin1String("delete")) {
        if (arguments.size() != 3)
            return failure(QStringLiteral("delete takes a domain and a key; ") + usage);
        if (!domain->persistentValue(key).isValid())
            return missing();
        QString error;
        if (!domain->remove(key, &error))
            return failure(QStringLiteral("could not delete %1 from %2: %3").arg(key, domainName, error));
        return {};
    }

    // write <domain> <key> [flag] <value>; without a flag the value is a text.
    QString flag = QStringLiteral("-string");
    QString text;
    if (arguments.size() == 4 && !isTypeFlag(arguments.at(3))) {
        text = arguments.at(3);
    } else if (arguments.size() == 5 && isTypeFlag(arguments.at(3))) {
        flag = arguments.at(3);
        text = arguments.at(4);
    } else if (arguments.size() == 5 && arguments.at(3).startsWith(QLatin1Char('-'))) {
        return failure(QStringLiteral("unknown type flag \"%1\"; ").arg(arguments.at(3)) + usage);
    } else {
        return failure(QStringLiteral("write takes a domain, a key, a type flag and one value; ") + usage);
    }
    const QVariant value = typedValue(flag, text);
    if (!value.isValid())
        return failure(QStringLiteral("\"%1\" is not a valid value for %2").arg(text, flag));
    QString error;
    if (!domain->setValue(key, value, &error))
        return failure(QStringLiteral("could not write %1 to %2: %3").arg(key, domainName, error));
    // Written, but in place of a damaged file that was set aside: the caller must hear of it.
    if (!error.isEmpty())
        return failure(error);
    return {};
}
