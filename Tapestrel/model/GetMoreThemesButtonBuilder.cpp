#include "Tapestrel/model/GetMoreThemesButtonBuilder.h"

#include "Tapestrel/model/AppConfig.h"

#include "KivUtilities/Symbols.h"
#include "platform/Workspace.h"

#include <QCoreApplication>
#include <QPushButton>

QWidget *GetMoreThemesButtonBuilder::build(const AppConfig *config, QWidget *parent)
{
    const std::optional<QUrl> url = config ? config->themesURL() : std::nullopt;
    if (!url)
        return nullptr;
    auto *button = new QPushButton(
        QCoreApplication::translate("GetMoreThemesButtonBuilder", "Get More Themes..."), parent);
    button->setObjectName(QStringLiteral("GetMoreThemesButton"));
    button->setIcon(KivUtilities::Symbols::icon(QStringLiteral("safari")));
    const QUrl target = *url;
    QObject::connect(button, &QPushButton::clicked, button,
                     [target] { Platform::Workspace::shared().openUrl(target); });
    return button;
}
