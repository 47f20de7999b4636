#include "Tapestrel/model/ModelRecord.h"

#include "Tapestrel/model/ModelContext.h"

ModelRecord::ModelRecord(QObject *parent)
    : QObject(parent)
{ }

ModelRecord::~ModelRecord()
{
    if (m_context)
        m_context->forget(this);
}

ModelContext *ModelRecord::modelContext() const
{
    return m_context;
}

void ModelRecord::markChanged(quint8 field)
{
    if (m_context && !m_loadingFromStore) {
        m_changedFields |= field;
        m_context->recordChanged(this);
    }
}
