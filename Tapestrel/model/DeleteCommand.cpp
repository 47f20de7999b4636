#include "Tapestrel/model/DeleteCommand.h"

#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/SelectionModel.h"

#include <QDebug>

DeleteCommand::DeleteCommand(SelectionModel *model, ModelContext *context)
    : m_model(model)
    , m_context(context)
{ }

void DeleteCommand::execute()
{
    if (!m_model)
        return;
    if (m_context) {
        const SelectionModel::Selection doomed = m_model->selectedProfilesForDeletion();
        for (Profile *profile : doomed) {
            if (profile)
                m_context->remove(profile);
        }
        try {
            m_context->save();
        } catch (const std::exception &error) {
            // The deletion stays pending in the context; the next autosave writes it.
            qWarning() << "Could not save the deletion of profiles:" << error.what();
        }
    }
    m_model->setSelectedProfiles({});
    m_model->setSelectedProfilesForDeletion({});
}
