#include "Tapestrel/model/ModelContainer.h"

#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"

#include <QDir>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

#include <exception>
#include <utility>

namespace {

std::exception_ptr runCaught(const ModelContainer::MergeWork &work, const QString &storePath)
{
    try {
        work(storePath);
        return {};
    } catch (...) {
        return std::current_exception();
    }
}

} // namespace

ModelContainer::ModelContainer(const QString &filePath, QObject *parent)
    : QObject(parent)
    , m_filePath(filePath)
{
    m_mergeThread.setMaxThreadCount(1);
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

QCoro::Task<void> ModelContainer::merge(MergeWork work)
{
    QPointer<ModelContainer> self(this);
    ++m_merges;
    QFuture<std::exception_ptr> merging =
        QtConcurrent::run(&m_mergeThread, &runCaught, std::move(work), m_filePath);
    const std::exception_ptr error = co_await merging;
    if (self)
        self->mergeEnded(!error);
    if (error)
        std::rethrow_exception(error);
}

QCoro::Task<void> ModelContainer::mergeSmall(MergeWork work)
{
    if (isMerging()) {
        co_await merge(std::move(work));
        co_return;
    }
    work(m_filePath);
    contextSaved(nullptr);
}

void ModelContainer::saveAfterMerges(ModelContext *context)
{
    if (!m_waitingSaves.contains(context))
        m_waitingSaves.append(context);
}

void ModelContainer::mergeEnded(bool changed)
{
    --m_merges;
    if (changed)
        contextSaved(nullptr);
    if (m_merges > 0)
        return;
    for (const QPointer<ModelContext> &context : std::exchange(m_waitingSaves, {})) {
        if (!context)
            continue;
        try {
            context->save();
        } catch (const ModelError &error) {
            // The changes stay pending, as after any failed save: the next save writes them.
            qWarning("A save that waited for a merge failed: %s", error.what());
        }
    }
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
