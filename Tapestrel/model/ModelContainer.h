#pragma once

#include <QFuture>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QPromise>
#include <QString>
#include <QThreadPool>

#include "Tapestrel/model/RowMoves.h"
#include "Tapestrel/model/StoreConnection.h"

#include <QCoro/QCoroTask>

#include <QDeadlineTimer>

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

class ModelContext;
class ModelStoreError;

// The profile store: one SQLite file holding profiles, their options and custom backgrounds, with
// the schema version recorded in the file. The main context is where the program reads and changes
// records; further contexts over the same file serve work that saves on its own, such as imports.
class ModelContainer : public QObject
{
    Q_OBJECT

public:
    static constexpr const char *schemaVersion = "1.0.0";

    // Opens the store at `filePath`, creating the file and its folder when missing. Throws
    // ModelStoreError when the file cannot be opened, is not a database or was written with another
    // schema; such a file is left exactly as it was.
    explicit ModelContainer(const QString &filePath, QObject *parent = nullptr);
    ~ModelContainer() override;

    QString filePath() const { return m_filePath; }
    ModelContext *mainContext() const { return m_mainContext; }
    // A new context over the same file. The caller owns it; it must not outlive the container.
    std::unique_ptr<ModelContext> makeContext();

    // Work that writes the store through a connection of its own, given the store's path (a merge,
    // see StoreMerge), and tells where it moved records; it may throw.
    using MergeWork = std::function<RowMoves(const QString &storePath)>;
    // Runs `work` on a thread of the container's, after the merges started before it; then the
    // contexts follow the records it moved and hear that the store changed, as from a context's save.
    // Every context follows each merge whose work has ended, in their order, before anyone hears of
    // one or reads the store: a merge queued behind another may write before the first one's end is
    // handled.
    // Until the last merge has ended (and nothing holds the saves, see holdSaves()) the contexts'
    // saves wait their turn, never the store's write lock on the caller's thread: save() keeps the
    // changes pending and returns, and they are saved once the merges are over, over what the merges
    // wrote. Rethrows what `work` threw. Called on the thread the contexts are used on.
    QCoro::Task<void> merge(MergeWork work);
    // For work of a few records, which holds nobody: runs it at once on the caller's thread and tells
    // the contexts, or, while a merge is running, after it as merge() does.
    QCoro::Task<void> mergeSmall(MergeWork work);
    // Holds the contexts' saves back, as a merge does, until the last copy of what it gives is
    // released: for work that prepares a merge (a restore unpacking and reading its backup), so that
    // an edit made meanwhile is written after the merge instead of being merged over.
    std::shared_ptr<void> holdSaves();
    // Until the merges are abandoned (abandonMergesAndSave()).
    bool isMerging() const { return !m_abandonedAll && (m_merges > 0 || m_holds > 0); }
    // Returns once no merge runs and nothing holds the saves, and what waited for them is saved.
    QCoro::Task<void> mergesOver();
    // For the program's end, at once: every merge that runs or waits is abandoned whole (what it
    // wrote is rolled back, whether it runs SQL, waits for another writer's lock or does work of its
    // own, and it commits nothing from now on), the contexts follow those that committed before, and
    // every context's pending changes are written now, whatever held them back. From then on merges
    // are refused and saves are written at once. Waits for nothing but a commit already under way.
    // Throws the first failure after trying every context.
    void abandonMergesAndSave();
    bool mergesAbandoned() const { return m_abandonedAll; }
    // After an end that did not end the process (one made for a while, as tests make them): merges run
    // again.
    void resumeMerges() { m_abandonedAll = false; }
    // For a quit, when no event loop will run again: waits for the merges that run or wait on the
    // container's thread until `mergesBy`, has the contexts follow them, abandons the rest and saves
    // every context's pending changes, as abandonMergesAndSave() does.
    void finishAndSave(QDeadlineTimer mergesBy = QDeadlineTimer(QDeadlineTimer::Forever));

signals:
    // After any context of this store saved; null after a save of no context.
    void didSave(ModelContext *context);

private:
    friend class ModelContext;
    void registerContext(ModelContext *context);
    void contextSaved(ModelContext *context);
    void saveAfterMerges(ModelContext *context);
    struct Outcome
    {
        RowMoves moves;
        std::exception_ptr error;
    };
    struct Running
    {
        QFuture<Outcome> future;
        // Stops this merge's work, and tells whether it committed.
        std::shared_ptr<StoreConnection::Stop> stop;
    };
    static Outcome runCaught(const MergeWork &work, const QString &storePath,
                             std::shared_ptr<StoreConnection::Stop> stop);
    static ModelStoreError abandonedError();
    void writeEveryContext();
    void mergeEnded();
    // Before a context reads the store: has every context follow the merges whose work has ended,
    // and tells that the store changed once the event loop runs again.
    void followEndedMerges();
    // Has every context follow the moves of each merge whose work has ended (with `wait`, of each
    // merge, waiting for its work), in their order; gives whether the store changed.
    bool followEndedMerges(bool wait);
    // Tells the contexts that merges changed the store, and saves what waited for them.
    void announceMerges();
    void followMoves(const RowMoves &moves);
    void saveWaiting();

    QString m_filePath;
    ModelContext *m_mainContext = nullptr;
    QList<QPointer<ModelContext>> m_contexts;
    int m_merges = 0;
    int m_holds = 0;
    QList<std::shared_ptr<Running>> m_running;
    QList<QPointer<ModelContext>> m_waitingSaves;
    // Merges were followed that the contexts have not been told of yet.
    bool m_unannounced = false;
    std::unique_ptr<QPromise<void>> m_mergesOver;
    // The merges were abandoned for good: none runs, and nothing holds the saves back.
    bool m_abandonedAll = false;
    // One thread: merges run one after another.
    QThreadPool m_mergeThread;
};
