#pragma once

#include "KivDesktopBackground/Background.h"
#include "Tapestrel/model/CustomBackground.h"

#include <QList>
#include <QPointer>
#include <QWidget>

#include "Tapestrel/background/BackgroundSelection.h"
class BackgroundTile;
class DeleteBackgroundAlertModifier;
#include "Tapestrel/model/ModelContext.h"
class QDialog;
class TileGridLayout;
class QMenu;

// What the three grids of the background editor share: up to five flexible columns 12 apart (as
// many as the width holds, so that no tile is ever out of reach sideways), rows 12 apart, 4 above
// and below; the section's built-in tiles first, then one tile per custom background
// of the section's kind in the store's order (records whose value does not decode take no cell),
// then the add tile. The custom tiles follow the store live; a long list is built in batches
// after the first paint.
class BackgroundSectionPicker : public QWidget
{
    Q_OBJECT

public:
    // The most columns a grid has.
    static constexpr int columnCount = 5;
    static constexpr int spacing = 12;
    static constexpr double tileSize = 80;
    // Custom tiles built before the first paint, and per later turn of the event loop.
    static constexpr qsizetype firstBatch = 30;
    static constexpr qsizetype laterBatch = 60;

    BackgroundSelection *selection() const { return m_selection; }
    ModelContext *modelContext() const { return m_modelContext; }

    // Every tile in grid order (built-in, then custom), without the add tile.
    QList<BackgroundTile *> tiles() const;
    QWidget *addTile() const { return m_addTile; }
    int builtInCount() const { return int(m_builtInTiles.size()); }
    // The records that have a tile, in grid order.
    QList<CustomBackground *> customBackgrounds() const;
    // The tile of a record, or nothing.
    BackgroundTile *tileOf(const CustomBackground *record) const;

    // The record a sheet edits (nothing while adding); the sheet's end clears it.
    CustomBackground *editingItem() const { return m_editingItem; }

    // The delete confirmation of this grid; setting a pending record opens it.
    DeleteBackgroundAlertModifier *deleteAlert() const { return m_deleteAlert; }

protected:
    BackgroundSectionPicker(BackgroundSelection *selection, ModelContext *modelContext,
                            CustomBackground::Kind kind, QWidget *parent);

    // Call once from the subclass's constructor, after its own members are set.
    void build(QList<BackgroundTile *> builtInTiles, QWidget *addTile, const QString &deleteMessage);

    virtual BackgroundTile *makeTile(const KivDesktopBackground::Background &background) = 0;
    // The menu of a custom tile.
    virtual QMenu *makeCustomMenu(CustomBackground *record,
                                  const KivDesktopBackground::Background &background, QWidget *parent) = 0;
    // "Apply Background" and "Choose Background" for a background, into a menu.
    void addSharedCommands(QMenu *menu, const KivDesktopBackground::Background &background);
    // "Delete" (destructive), which asks for confirmation first.
    void addDeleteCommand(QMenu *menu, CustomBackground *record);
    // Tiles of built-in backgrounds, with "Apply Background" and "Choose Background" in their menus.
    QList<BackgroundTile *> makeBuiltInTiles(const QList<KivDesktopBackground::Background> &backgrounds);
    // The menu of an editable custom tile: the shared commands, "Edit" (which calls `edit`),
    // "Duplicate" and "Delete", with two dividers.
    QMenu *makeEditableMenu(CustomBackground *record, const KivDesktopBackground::Background &background,
                            QWidget *parent, std::function<void(CustomBackground *)> edit);
    void beginEditing(CustomBackground *record, QDialog *sheet);
    // What a sheet's confirm does: overwrites the edited record (as this section's kind) or adds a
    // new one, saves, and selects the background. A record deleted while its sheet was open is not
    // brought back, and nothing changes.
    void storeFromSheet(const KivDesktopBackground::Background &background);
    // Deletes a record and saves.
    void deleteBackground(CustomBackground *record);

private:
    void scheduleReload();
    void reloadCustom();
    void buildTiles();
    void retire(BackgroundTile *tile);
    void relayout();

    QPointer<BackgroundSelection> m_selection;
    QPointer<ModelContext> m_modelContext;
    CustomBackground::Kind m_kind;
    TileGridLayout *m_grid;
    QList<BackgroundTile *> m_builtInTiles;
    struct CustomTile
    {
        QPointer<CustomBackground> record;
        QString value;
        BackgroundTile *tile;
    };
    QList<CustomTile> m_customTiles;
    QList<QPointer<CustomBackground>> m_records;
    qsizetype m_buildLimit = 0;
    bool m_buildPending = false;
    QWidget *m_addTile = nullptr;
    DeleteBackgroundAlertModifier *m_deleteAlert = nullptr;
    bool m_reloadPending = false;
    QPointer<CustomBackground> m_editingItem;
    bool m_editing = false;
};
