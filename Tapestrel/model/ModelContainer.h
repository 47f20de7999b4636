#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QThreadPool>

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>

class ModelContext;

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
    // see StoreMerge); it may throw.
    using MergeWork = std::function<void(const QString &storePath)>;
    // Runs `work` on a thread of the container's, after the merges started before it, and then tells
    // every context that the store changed, as a context's save does. Until the last merge has ended
    // the contexts' saves wait their turn, never the store's write lock on the caller's thread:
    // save() keeps the changes pending and returns, and they are saved once the merges are over,
    // after the contexts heard of them. Rethrows what `work` threw. Called on the thread the contexts
    // are used on.
    QCoro::Task<void> merge(MergeWork work);
    // For work of a few records, which holds nobody: runs it at once on the caller's thread and tells
    // the contexts, or, while a merge is running, after it as merge() does.
    QCoro::Task<void> mergeSmall(MergeWork work);
    bool isMerging() const { return m_merges > 0; }

signals:
    // After any context of this store saved; null after a save of no context.
    void didSave(ModelContext *context);

private:
    friend class ModelContext;
    void registerContext(ModelContext *context);
    void contextSaved(ModelContext *context);
    void saveAfterMerges(ModelContext *context);
    void mergeEnded(bool changed);

    QString m_filePath;
    ModelContext *m_mainContext = nullptr;
    QList<QPointer<ModelContext>> m_contexts;
    int m_merges = 0;
    QList<QPointer<ModelContext>> m_waitingSaves;
    // One thread: merges run one after another.
    QThreadPool m_mergeThread;
};
