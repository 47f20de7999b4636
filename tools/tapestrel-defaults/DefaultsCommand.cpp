#include "DefaultsCommand.h"

#include "platform/UserDefaults.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>

using Platform::UserDefaults;

namespace {

const QString usage =
    QStringLiteral("usage: tapestrel-defaults read <domain|-g> <key> | write <domain|-g> <key> "
                   "[-string|-bool|-int|-float] <value> | delete <domain|-g> <key>");

DefaultsCommandResult failure(const QString &message)
{
    return {1, QString(), QStringLiteral("tapestrel-defaults: ") + message + QLatin1Char('\n')};
}

UserDefaults *domainFor(const QString &name)
{
    if (name == QLatin1String("-g") || name == QLatin1String("-globalDomain"))
        return &UserDefaults::global();
    return UserDefaults::suite(name);
}

QString quotedIfNeeded(const QString &text)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.$/:-]+$"));
    if (plain.match(text).hasMatch())
        return text;
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('"'), QStringLiteral("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

// Texts as they are, Booleans as 1 or 0, numbers in decimal; the other types in a readable
// property-list text form.
QString describe(const QVariant &value, int depth, bool topLevel)
{
    const QString indent(4 * (depth + 1), QLatin1Char(' '));
    const QString closing(4 * depth, QLatin1Char(' '));
    switch (value.typeId()) {
    case QMetaType::QString:
        return topLevel ? value.toString() : quotedIfNeeded(value.toString());
    case QMetaType::QByteArray:
        return QLatin1Char('{') + QStringLiteral("length = ") + QString::number(value.toByteArray().size())
            + QStringLiteral(", bytes = 0x") + QString::fromLatin1(value.toByteArray().toHex())
            + QLatin1Char('}');
    case QMetaType::QDateTime:
        return value.toDateTime().toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss +0000"));
    case QMetaType::QVariantList: {
        const QVariantList list = value.toList();
        if (list.isEmpty())
            return QStringLiteral("(\n%1)").arg(closing);
        QStringList items;
        for (const QVariant &item : list)
            items << indent + describe(item, depth + 1, false);
        return QStringLiteral("(\n") + items.join(QStringLiteral(",\n")) + QLatin1Char('\n') + closing
            + QLatin1Char(')');
    }
    case QMetaType::QVariantMap: {
        const QVariantMap map = value.toMap();
        QString text = QStringLiteral("{\n");
        for (auto it = map.cbegin(); it != map.cend(); ++it)
            text += indent + quotedIfNeeded(it.key()) + QStringLiteral(" = ")
                + describe(it.value(), depth + 1, false) + QStringLiteral(";\n");
        return text + closing + QLatin1Char('}');
    }
    default:
        return UserDefaults::stringFromValue(value).value_or(QString());
    }
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
    UserDefaults *domain = domainFor(domainName);
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
        return {0, describe(value, 0, true) + QLatin1Char('\n'), QString()};
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
    return {};
}
