#include "Tapestrel/background/ProfileBackground.h"

#include "Tapestrel/background/BackgroundOptionModel.h"
#include "Tapestrel/model/Profile.h"

#include <QFileInfo>
#include <QUrl>

using KivDesktopBackground::Background;

std::optional<Background> profileBackground(const Profile &profile)
{
    const QString text = profile.value(BackgroundOptionModel::optionKey());
    const std::optional<QUrl> url = BackgroundOptionModel::urlFromValue(text);
    if (url && url->isLocalFile() && QFileInfo::exists(url->toLocalFile()))
        return Background::image(*url);
    return Background::fromRawValue(text);
}
