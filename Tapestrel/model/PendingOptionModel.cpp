#include "Tapestrel/model/PendingOptionModel.h"

#include <QCoreApplication>
#include <QLabel>

QWidget *PendingOptionModel::makePicker(Option *, Profile *, QWidget *parent)
{
    auto *label = new QLabel(QCoreApplication::translate("OptionModel", "Not available"), parent);
    label->setEnabled(false);
    return label;
}

QCoro::Task<void> PendingOptionModel::apply(QString, QPointer<Profile>, std::shared_ptr<bool>)
{
    throw OptionModelError::notAvailable(key());
    co_return;
}

QCoro::Task<std::optional<QString>> PendingOptionModel::readCurrentValue(QPointer<Profile>)
{
    co_return std::nullopt;
}
