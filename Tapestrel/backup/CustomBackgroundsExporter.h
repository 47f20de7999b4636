#pragma once

#include <QPointer>
#include <QString>

#include <QCoro/QCoroTask>

class ModelContext;

// Writes every stored custom background as a custom backgrounds JSON file.
class CustomBackgroundsExporter
{
public:
    explicit CustomBackgroundsExporter(ModelContext *modelContext);

    // As ProfileExporter::exportTo, for custom backgrounds.
    QCoro::Task<void> exportTo(QString path);

private:
    QPointer<ModelContext> m_modelContext;
};
