#include "Tapestrel/model/OptionStore.h"

#include <QtGlobal>

OptionStore::OptionStore(Factory factory)
    : m_factory(std::move(factory))
{ }

OptionStore::~OptionStore() = default;

namespace {
OptionStore *g_sharedOverride = nullptr;
OptionStore *g_program = nullptr;
} // namespace

OptionStore &OptionStore::shared()
{
    if (g_sharedOverride)
        return *g_sharedOverride;
    if (!g_program)
        qFatal("The option registry was asked for before the main controller made it");
    return *g_program;
}

void OptionStore::setShared(OptionStore *store)
{
    g_sharedOverride = store;
}

void OptionStore::setProgramShared(OptionStore *store)
{
    g_program = store;
}

const QList<OptionModel *> &OptionStore::options()
{
    if (!m_built) {
        m_built = true;
        m_owned = m_factory();
        for (const auto &model : m_owned)
            m_options.append(model.get());
    }
    return m_options;
}

OptionModel *OptionStore::model(const QString &key)
{
    for (OptionModel *model : options()) {
        if (model->key() == key)
            return model;
    }
    return nullptr;
}
