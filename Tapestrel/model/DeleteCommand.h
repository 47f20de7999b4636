#pragma once

#include <QPointer>

class ModelContext;
class SelectionModel;

// Deletes the profiles chosen for deletion (with their options) and saves at once. The caller asks
// the user first.
class DeleteCommand
{
public:
    DeleteCommand(SelectionModel *model, ModelContext *context);

    void execute();

private:
    QPointer<SelectionModel> m_model;
    QPointer<ModelContext> m_context;
};
