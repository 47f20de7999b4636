#pragma once

#include <QPointer>
#include <QString>

#include <QCoro/QCoroTask>

class ModelContext;

// Writes every stored profile, with its options, as a profiles JSON file.
class ProfileExporter
{
public:
    explicit ProfileExporter(ModelContext *modelContext);

    // Reads the store as last committed, on the thread pool, so unsaved changes of the given context
    // are not written. Does nothing when the context is gone; throws on a failed read or write,
    // leaving any existing file unchanged.
    QCoro::Task<void> exportTo(QString path);

private:
    QPointer<ModelContext> m_modelContext;
};
