#include "Tapestrel/model/OptionModel.h"

#include <QCoreApplication>

OptionModel::~OptionModel() = default;

QWidget *OptionModel::accessoryView(QWidget *)
{
    return nullptr;
}

OptionModelError::OptionModelError(QString key, QString message)
    : std::runtime_error(message.toStdString())
    , m_key(std::move(key))
    , m_message(std::move(message))
{ }

OptionModelError OptionModelError::notAvailable(const QString &key)
{
    return OptionModelError(key,
                            QCoreApplication::translate("OptionModel",
                                                        "“%1” cannot be applied or read yet: "
                                                        "this option is not available in this build.")
                                .arg(key));
}
