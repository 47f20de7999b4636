#include "Tapestrel/model/OptionModel.h"

#include <QCoreApplication>

OptionModel::~OptionModel() = default;

QString OptionModel::displayPathText(const QStringList &path)
{
    QStringList components;
    // The components are the keys of the option rows' own translations.
    for (const QString &component : path)
        components.append(QCoreApplication::translate("OptionPath", component.toUtf8().constData()));
    return components.join(QStringLiteral(" \u203A "));
}

QWidget *OptionModel::accessoryView(QWidget *)
{
    return nullptr;
}

OptionModelError::OptionModelError(QString key, QString message)
    : std::runtime_error(message.toStdString())
    , m_key(std::move(key))
    , m_message(std::move(message))
{ }

OptionSupersededError::OptionSupersededError(QString key)
    : OptionModelError(std::move(key),
                       QCoreApplication::translate("OptionModel", "A later apply took its place."))
{ }

OptionModelError OptionModelError::unreadableValue(const QString &key, const QString &value)
{
    // One line, and short: the value may be a whole document.
    constexpr qsizetype shown = 40;
    QString text = value.simplified();
    if (text.size() > shown)
        text = text.left(shown) + QStringLiteral("…");
    return OptionModelError(
        key,
        QCoreApplication::translate("OptionModel",
                                    "The profile holds “%1”, which is not a value of this setting.")
            .arg(text));
}
