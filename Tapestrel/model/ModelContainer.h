#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

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
    // Tells every context that the store changed through a connection of none of them (a merge, see
    // StoreMerge), as a context's save does. Called on the thread the contexts are used on.
    void savedElsewhere();

signals:
    // After any context of this store saved; null after a save of no context.
    void didSave(ModelContext *context);

private:
    friend class ModelContext;
    void registerContext(ModelContext *context);
    void contextSaved(ModelContext *context);

    QString m_filePath;
    ModelContext *m_mainContext = nullptr;
    QList<QPointer<ModelContext>> m_contexts;
};
