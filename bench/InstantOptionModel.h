#pragma once

// Option models that answer at once, for benchmarks that measure the engine and the store rather
// than the settings the models read and write.

#include "Tapestrel/Registries.h"
#include "Tapestrel/model/OptionModel.h"

#include <QStringList>

#include <QCoro/QCoroTask>

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

namespace {

// The registered identifiers, in registry order.
QStringList registeredKeys()
{
    Registries registries;
    QStringList keys;
    for (const OptionModel *model : registries.optionStore().options())
        keys.append(model->key());
    return keys;
}

class InstantOptionModel : public OptionModel
{
public:
    explicit InstantOptionModel(QString key)
        : m_key(std::move(key))
    { }
    QStringList displayPath() const override { return {"Bench", m_key}; }
    QString key() const override { return m_key; }
    QWidget *makePicker(Option *, Profile *, QWidget *) override { return nullptr; }
    QCoro::Task<void> apply(QString value, QPointer<Profile>, std::shared_ptr<bool>) override
    {
        benchmark::DoNotOptimize(value);
        co_return;
    }
    QCoro::Task<std::optional<QString>> readCurrentValue(QPointer<Profile>) override
    {
        co_return QStringLiteral("value");
    }

private:
    QString m_key;
};

// One instant model for each of the program's option keys, in registry order.
inline std::vector<std::unique_ptr<OptionModel>> instantOptionModels()
{
    std::vector<std::unique_ptr<OptionModel>> models;
    for (const QString &key : registeredKeys())
        models.push_back(std::make_unique<InstantOptionModel>(key));
    return models;
}

} // namespace
