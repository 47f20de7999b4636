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
