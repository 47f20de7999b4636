#include "Tapestrel/model/ModelContainer.h"

#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/ModelError.h"
#include "Tapestrel/model/StoreConnection.h"

#include <QDir>
#include <QFileInfo>
#include <QtConcurrent/QtConcurrentRun>

#include <QCoro/QCoroFuture>

#include <algorithm>
#include <climits>
#include <exception>
#include <utility>

ModelStoreError ModelContainer::abandonedError()
{
    return ModelStoreError(ModelError::Code::StoreUnavailable,
                           QStringLiteral("The merge was abandoned: the program ended first."));
}

ModelContainer::Outcome ModelContainer::runCaught(const MergeWork &work, const QString &storePath,
                                                  std::shared_ptr<StoreConnection::Stop> stop)
{
    try {
        if (stop->isStopped())
            throw abandonedError();
        const StoreConnection::StopScope scope(stop.get());
        RowMoves moves = work(storePath);
        // Work that did not reach the store before it was stopped has nothing to show for it.
        if (stop->isStopped() && !stop->stop())
            throw abandonedError();
        return {std::move(moves), {}};
    } catch (...) {
        return {{}, std::current_exception()};
    }
}

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
    if (m_abandonedAll)
        throw abandonedError();
    ++m_merges;
    auto running = std::make_shared<Running>();
    running->stop = std::make_shared<StoreConnection::Stop>();
    running->future =
        QtConcurrent::run(&m_mergeThread, &runCaught, std::move(work), m_filePath, running->stop);
    m_running.append(running);
    QFuture<Outcome> merging = running->future;
    const Outcome outcome = co_await merging;
    if (self)
        self->mergeEnded();
    if (outcome.error)
        std::rethrow_exception(outcome.error);
}

QCoro::Task<void> ModelContainer::mergeSmall(MergeWork work)
{
    if (m_abandonedAll)
        throw abandonedError();
    if (isMerging()) {
        co_await merge(std::move(work));
        co_return;
    }
    followMoves(work(m_filePath));
    contextSaved(nullptr);
}

std::shared_ptr<void> ModelContainer::holdSaves()
{
    ++m_holds;
    // Released on the thread the contexts are used on, as the work that holds runs there.
    return std::shared_ptr<void>(nullptr, [self = QPointer<ModelContainer>(this)](void *) {
        if (!self)
            return;
        --self->m_holds;
        self->saveWaiting();
    });
}

QCoro::Task<void> ModelContainer::mergesOver()
{
    QPointer<ModelContainer> self(this);
    // Merges are bounded (their work and the store's lock both are). Saves that waited are written
    // after the last merge has been followed, which a read may do before its merge's end is handled.
    while (self && (self->isMerging() || !self->m_waitingSaves.isEmpty())) {
        if (!self->m_mergesOver) {
            self->m_mergesOver = std::make_unique<QPromise<void>>();
            self->m_mergesOver->start();
        }
        // Finished when the saves that waited are written, or cancelled when the container closes.
        const QFuture<void> over = self->m_mergesOver->future();
        co_await over;
    }
}

void ModelContainer::saveAfterMerges(ModelContext *context)
{
    if (!m_waitingSaves.contains(context))
        m_waitingSaves.append(context);
}

void ModelContainer::mergeEnded()
{
    followEndedMerges(false);
    announceMerges();
}

void ModelContainer::followEndedMerges()
{
    // Told when the merges' turn is handled; never in the middle of the read that followed them.
    if (followEndedMerges(false))
        QMetaObject::invokeMethod(this, &ModelContainer::announceMerges, Qt::QueuedConnection);
}

bool ModelContainer::followEndedMerges(bool wait)
{
    // Merges end in the order they were started, one thread running them: those ended come first.
    // Each is taken off the list before its moves are followed, so that a read made while they are
    // (by someone told that a record changed) follows the next ones, in their order.
    bool followed = false;
    while (!m_running.isEmpty()) {
        const std::shared_ptr<Running> running = m_running.first();
        if (!running->future.isFinished() && !wait)
            break;
        m_running.removeFirst();
        --m_merges;
        const Outcome outcome = running->future.result();
        if (!outcome.error) {
            followMoves(outcome.moves);
            followed = true;
            m_unannounced = true;
        }
    }
    return followed;
}

void ModelContainer::announceMerges()
{
    if (std::exchange(m_unannounced, false))
        contextSaved(nullptr);
    saveWaiting();
}

void ModelContainer::followMoves(const RowMoves &moves)
{
    // Before anyone reads the store again: a record whose row the merge moved is read at its new row,
    // keeping what was changed in it meanwhile.
    m_contexts.removeAll(nullptr);
    for (const QPointer<ModelContext> &context : std::as_const(m_contexts)) {
        if (context)
            context->followMoves(moves);
    }
}

void ModelContainer::saveWaiting()
{
    if (isMerging())
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
    if (m_mergesOver && !isMerging()) {
        m_mergesOver->finish();
        m_mergesOver.reset();
    }
}

void ModelContainer::abandonMergesAndSave()
{
    if (!m_abandonedAll) {
        m_abandonedAll = true;
        // Each merge stops where it is; one whose commit went ahead first is followed, once its work
        // has returned (it has nothing left to do but that). The others are left to fail on their own.
        for (const std::shared_ptr<Running> &running : std::as_const(m_running)) {
            if (running->stop->stop())
                running->future.waitForFinished();
        }
        followEndedMerges(false);
        m_merges -= int(m_running.size());
        m_running.clear();
        // Nothing waits for merges any more: the saves that did are written below, with the rest.
        m_waitingSaves.clear();
        if (m_mergesOver) {
            m_mergesOver->finish();
            m_mergesOver.reset();
        }
    }
    writeEveryContext();
}

void ModelContainer::finishAndSave(QDeadlineTimer mergesBy)
{
    if (!m_abandonedAll)
        m_mergeThread.waitForDone(int(std::min<qint64>(mergesBy.remainingTime(), INT_MAX)));
    abandonMergesAndSave();
}

void ModelContainer::writeEveryContext()
{
    std::exception_ptr first;
    m_contexts.removeAll(nullptr);
    for (const QPointer<ModelContext> &context : QList(m_contexts)) {
        if (!context || !context->hasChanges())
            continue;
        try {
            context->write();
        } catch (const ModelError &) {
            if (!first)
                first = std::current_exception();
        }
    }
    if (first)
        std::rethrow_exception(first);
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
