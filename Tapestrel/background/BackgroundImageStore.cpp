#include "Tapestrel/background/BackgroundImageStore.h"

#include "Tapestrel/backup/PredefinedProfileController.h"

using KivDesktopBackground::Background;

BackgroundImageStore::BackgroundImageStore(ModelContext *modelContext, const QString &wallpapersFolder)
{
    if (wallpapersFolder.isEmpty())
        return;
    PredefinedProfileController controller(modelContext, wallpapersFolder);
    for (const QUrl &url : controller.predefinedImages())
        m_backgrounds.append(BuiltInBackground(Background::image(url)));
}
