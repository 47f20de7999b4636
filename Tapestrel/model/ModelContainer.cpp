#include "Tapestrel/model/ModelContainer.h"

#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"

#include <QDir>
#include <QFileInfo>

ModelContainer::ModelContainer(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_filePath(filePath)
{
    const QString folder = QFileInfo(filePath).absolutePath();
    if (!QDir().mkpath(folder)) {
        throw ModelStoreError(ModelError::Code::StoreUnavailable,
                              QStringLiteral("The folder “%1” could not be created.").arg(folder));
    }
    auto main = std::make_unique<ModelContext>(*this);
    m_mainContext = main.get();
    m_mainContext->createSchema();
    main.release()->setParent(this);
}

ModelContainer::~ModelContainer()
{
    // Contexts made for imports are owned by their callers; they must not outlive the container.
    for (const QPointer<ModelContext> &context : std::as_const(m_contexts)) {
        if (context && context != m_mainContext)
            context->m_container = nullptr;
    }
}

std::unique_ptr<ModelContext> ModelContainer::makeContext()
{
    return std::make_unique<ModelContext>(*this);
}

void ModelContainer::registerContext(ModelContext *context)
{
    m_contexts.append(context);
}

void ModelContainer::savedElsewhere()
{
    contextSaved(nullptr);
}

void ModelContainer::contextSaved(ModelContext *context)
{
    m_contexts.removeAll(nullptr);
    for (const QPointer<ModelContext> &other : std::as_const(m_contexts)) {
        if (other && other != context) {
            emit other->objectsChanged();
            emit other->profilesChanged();
        }
    }
    emit didSave(context);
}
