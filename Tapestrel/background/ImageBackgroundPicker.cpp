#include "Tapestrel/background/ImageBackgroundPicker.h"

#include "Tapestrel/background/AddImageButton.h"
#include "Tapestrel/background/BackgroundTile.h"

#include <QMenu>

using KivDesktopBackground::Background;

ImageBackgroundPicker::ImageBackgroundPicker(BackgroundSelection *selection, ModelContext *modelContext,
                                             QWidget *parent)
    : BackgroundSectionPicker(selection, modelContext, CustomBackground::Kind::Image, parent)
    , m_store(std::make_unique<BackgroundImageStore>(modelContext, AddImageButton::wallpapersFolderPath()))
    , m_addButton(new AddImageButton(modelContext, this))
{
    setObjectName(QStringLiteral("ImageBackgroundPicker"));
    QList<Background> builtIn;
    for (const BuiltInBackground &entry : m_store->backgrounds())
        builtIn.append(entry.background());
    build(makeBuiltInTiles(builtIn), m_addButton,
          tr("Note: only reference to the file will be deleted. The file remains in its original place."));
}

BackgroundTile *ImageBackgroundPicker::makeTile(const Background &background)
{
    return new BackgroundImageView(selection(), background, tileSize, this);
}

QMenu *ImageBackgroundPicker::makeCustomMenu(CustomBackground *record, const Background &background,
                                             QWidget *parent)
{
    auto *menu = new QMenu(parent);
    addSharedCommands(menu, background);
    menu->addSeparator();
    addDeleteCommand(menu, record);
    return menu;
}
