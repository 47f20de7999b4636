#include "Tapestrel/model/OptionModel.h"


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
