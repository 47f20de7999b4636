#include "Tapestrel/model/ApplyResult.h"

#include "Tapestrel/model/OptionModel.h"

#include <QCoreApplication>

#include <algorithm>

OptionFailure OptionFailure::of(const OptionModel &model, const std::exception &error)
{
    // Errors carry their text as UTF-8; one line each, however the error broke it.
    QString message = QString::fromUtf8(error.what()).simplified();
    if (message.isEmpty())
        message = QCoreApplication::translate("ApplyResult", "Unknown error.");
    return {model.key(), model.displayPath(), message,
            dynamic_cast<const OptionSupersededError *>(&error) != nullptr};
}

QString OptionFailure::line() const
{
    const QString path = displayPath.isEmpty() ? key : OptionModel::displayPathText(displayPath);
    return path + QStringLiteral(": ") + message;
}

QString ApplyResult::headline() const
{
    // Both texts go in one arg(): a name holding "%2" stays as it is.
    const QString count = QString::number(failures.size());
    if (!completed && failures.isEmpty()) {
        return QCoreApplication::translate("ApplyResult",
                                           "“%1” was deleted before all of its settings were applied.")
            .arg(profileName);
    }
    if (!completed) {
        return QCoreApplication::translate("ApplyResult",
                                           "“%1” was deleted before all of its settings were applied, and %2 "
                                           "of them could not be changed:")
            .arg(profileName, count);
    }
    if (failures.isEmpty())
        return QCoreApplication::translate("ApplyResult", "Applied “%1”.").arg(profileName);
    if (onlySuperseded())
        return QCoreApplication::translate("ApplyResult",
                                           "Applied “%1”, but a later apply took the place of %2 of its "
                                           "settings:")
            .arg(profileName, count);
    return QCoreApplication::translate("ApplyResult",
                                       "Applied “%1”, but %2 of its settings could not be changed:")
        .arg(profileName, count);
}

bool ApplyResult::onlySuperseded() const
{
    return !failures.isEmpty()
        && std::all_of(failures.cbegin(), failures.cend(),
                       [](const OptionFailure &failure) { return failure.superseded; });
}

QStringList ApplyResult::lines() const
{
    QStringList lines;
    for (const OptionFailure &failure : failures)
        lines.append(failure.line());
    return lines;
}

QString ApplyResult::text() const
{
    QString text = headline();
    for (const QString &line : lines())
        text += QStringLiteral("\n  ") + line;
    return text;
}
