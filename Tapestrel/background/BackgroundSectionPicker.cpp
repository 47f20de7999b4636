#include "Tapestrel/background/BackgroundSectionPicker.h"

#include "KivUtilities/Symbols.h"
#include "Tapestrel/background/BackgroundButtons.h"
#include "Tapestrel/background/BackgroundSelection.h"
#include "Tapestrel/background/BackgroundTile.h"
#include "Tapestrel/background/DeleteBackgroundAlertModifier.h"
#include "Tapestrel/background/TileGridLayout.h"
#include "Tapestrel/model/ModelContext.h"

#include <QDialog>
#include <QMenu>
#include <QTimer>

#include <algorithm>
#include <exception>

using KivDesktopBackground::Background;
using KivUtilities::Symbols;

BackgroundSectionPicker::BackgroundSectionPicker(BackgroundSelection *selection, ModelContext *modelContext,
                                                 CustomBackground::Kind kind, QWidget *parent)
    : QWidget(parent)
    , m_selection(selection)
    , m_modelContext(modelContext)
    , m_kind(kind)
    , m_grid(new TileGridLayout(columnCount, spacing, this))
{
    m_grid->setContentsMargins(0, 4, 0, 4);
}

void BackgroundSectionPicker::build(QList<BackgroundTile *> builtInTiles, QWidget *addTile,
                                    const QString &deleteMessage)
{
    m_builtInTiles = std::move(builtInTiles);
    m_addTile = addTile;
    m_deleteAlert = new DeleteBackgroundAlertModifier(
        deleteMessage, tr("Delete"), [this](CustomBackground *record) { deleteBackground(record); }, this);
    if (m_modelContext) {
        // The store changed: fetch again once the current event is done, so that a burst of
        // changes rebuilds once and no tile goes away under its own menu.
        connect(m_modelContext, &ModelContext::objectsChanged, this,
                &BackgroundSectionPicker::scheduleReload);
    }
    reloadCustom();
}

QList<BackgroundTile *> BackgroundSectionPicker::tiles() const
{
    QList<BackgroundTile *> all = m_builtInTiles;
    for (const CustomTile &custom : m_customTiles)
        all.append(custom.tile);
    return all;
}

QList<CustomBackground *> BackgroundSectionPicker::customBackgrounds() const
{
    QList<CustomBackground *> records;
    for (const CustomTile &custom : m_customTiles) {
        if (custom.record)
            records.append(custom.record);
    }
    return records;
}

BackgroundTile *BackgroundSectionPicker::tileOf(const CustomBackground *record) const
{
    for (const CustomTile &custom : m_customTiles) {
        if (custom.record == record)
            return custom.tile;
    }
    return nullptr;
}

void BackgroundSectionPicker::addSharedCommands(QMenu *menu, const Background &background)
{
    menu->addAction(new ApplyBackgroundButton(background, menu));
    menu->addAction(new SetAsBackgroundButton(m_selection, background, menu));
}

void BackgroundSectionPicker::addDeleteCommand(QMenu *menu, CustomBackground *record)
{
    QAction *remove = menu->addAction(Symbols::icon(QStringLiteral("trash")), tr("Delete"));
    remove->setProperty(Symbols::propertyName, QStringLiteral("trash"));
    remove->setProperty("destructive", true);
    const QPointer<CustomBackground> guarded(record);
    connect(remove, &QAction::triggered, this, [this, guarded] {
        if (guarded)
            m_deleteAlert->setDeletingBackground(guarded);
    });
}

QList<BackgroundTile *> BackgroundSectionPicker::makeBuiltInTiles(const QList<Background> &backgrounds)
{
    QList<BackgroundTile *> tiles;
    for (const Background &background : backgrounds) {
        BackgroundTile *tile = makeTile(background);
        tile->setMenuBuilder([this, background](QWidget *parent) {
            auto *menu = new QMenu(parent);
            addSharedCommands(menu, background);
            return menu;
        });
        tiles.append(tile);
    }
    return tiles;
}

QMenu *BackgroundSectionPicker::makeEditableMenu(CustomBackground *record, const Background &background,
                                                 QWidget *parent,
                                                 std::function<void(CustomBackground *)> edit)
{
    auto *menu = new QMenu(parent);
    addSharedCommands(menu, background);
    menu->addSeparator();
    const QPointer<CustomBackground> guarded(record);
    QAction *editAction = menu->addAction(Symbols::icon(QStringLiteral("pencil")), tr("Edit"));
    editAction->setProperty(Symbols::propertyName, QStringLiteral("pencil"));
    connect(editAction, &QAction::triggered, this, [guarded, edit = std::move(edit)] {
        if (guarded && edit)
            edit(guarded);
    });
    menu->addAction(new DuplicateBackgroundButton(m_modelContext, record, menu));
    menu->addSeparator();
    addDeleteCommand(menu, record);
    return menu;
}

void BackgroundSectionPicker::beginEditing(CustomBackground *record, QDialog *sheet)
{
    m_editingItem = record;
    m_editing = record != nullptr;
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    connect(sheet, &QDialog::finished, this, [this] {
        m_editingItem = nullptr;
        m_editing = false;
    });
}

void BackgroundSectionPicker::storeFromSheet(const Background &background)
{
    const QString value = background.rawValue();
    if (m_editing) {
        if (!m_editingItem || m_editingItem->isDeleted())
            return;
        m_editingItem->setType(CustomBackground::toRawValue(m_kind));
        m_editingItem->setBackgroundValue(value);
        saveIgnoringErrors(m_modelContext);
    } else if (m_modelContext) {
        m_modelContext->insert(std::make_unique<CustomBackground>(m_kind, value));
        saveIgnoringErrors(m_modelContext);
    }
    // The selection holds the stored form (colours without opacity), as the tiles do.
    if (m_selection)
        m_selection->set(Background::fromRawValue(value).value_or(background));
}

void BackgroundSectionPicker::deleteBackground(CustomBackground *record)
{
    if (!m_modelContext || !record || record->isDeleted())
        return;
    m_modelContext->remove(record);
    saveIgnoringErrors(m_modelContext);
    reloadCustom();
}

void BackgroundSectionPicker::scheduleReload()
{
    if (m_reloadPending)
        return;
    m_reloadPending = true;
    QMetaObject::invokeMethod(this, &BackgroundSectionPicker::reloadCustom, Qt::QueuedConnection);
}

void BackgroundSectionPicker::reloadCustom()
{
    m_reloadPending = false;
    QList<CustomBackground *> records;
    if (m_modelContext) {
        try {
            records = m_modelContext->fetchBackgroundsOfType(CustomBackground::toRawValue(m_kind));
        } catch (const std::exception &) {
            // A store that cannot be read lists no records; the built-in tiles stay.
        }
    }
    m_records.clear();
    for (CustomBackground *record : std::as_const(records)) {
        connect(record, &CustomBackground::backgroundValueChanged, this,
                &BackgroundSectionPicker::scheduleReload, Qt::UniqueConnection);
        connect(record, &CustomBackground::typeChanged, this, &BackgroundSectionPicker::scheduleReload,
                Qt::UniqueConnection);
        m_records.append(record);
    }
    // As many as were shown before, at least the first batch.
    m_buildLimit = std::max<qsizetype>(m_buildLimit, firstBatch);
    buildTiles();
}

void BackgroundSectionPicker::buildTiles()
{
    m_buildPending = false;
    // Tiles of records whose value is unchanged are kept (with their thumbnails); the others go.
    QHash<CustomBackground *, CustomTile> previous;
    for (const CustomTile &custom : std::as_const(m_customTiles)) {
        if (custom.record)
            previous.insert(custom.record, custom);
        else
            retire(custom.tile);
    }
    m_customTiles.clear();
    const qsizetype count = std::min(m_buildLimit, m_records.size());
    for (qsizetype i = 0; i < count; ++i) {
        CustomBackground *record = m_records[i];
        if (!record || record->isDeleted())
            continue;
        const QString value = record->backgroundValue();
        if (const auto kept = previous.constFind(record); kept != previous.cend()) {
            const CustomTile custom = kept.value();
            previous.erase(kept);
            if (custom.value == value) {
                m_customTiles.append(custom);
                continue;
            }
            retire(custom.tile);
        }
        const std::optional<Background> background = record->background();
        if (!background)
            continue;
        BackgroundTile *tile = makeTile(*background);
        const QPointer<CustomBackground> guarded(record);
        const Background decoded = *background;
        tile->setMenuBuilder([this, guarded, decoded](QWidget *parent) -> QMenu * {
            return guarded && !guarded->isDeleted() ? makeCustomMenu(guarded, decoded, parent) : nullptr;
        });
        m_customTiles.append({guarded, value, tile});
    }
    for (const CustomTile &custom : std::as_const(previous))
        retire(custom.tile);
    relayout();
    // A long library fills in batch by batch after the first paint, so opening never waits for it.
    if (count < m_records.size() && !m_buildPending) {
        m_buildPending = true;
        QTimer::singleShot(0, this, [this] {
            m_buildLimit += laterBatch;
            buildTiles();
        });
    }
}

void BackgroundSectionPicker::retire(BackgroundTile *tile)
{
    m_grid->removeWidget(tile);
    tile->hide();
    tile->deleteLater();
}

void BackgroundSectionPicker::relayout()
{
    QList<QWidget *> cells;
    for (BackgroundTile *tile : std::as_const(m_builtInTiles))
        cells.append(tile);
    for (const CustomTile &custom : std::as_const(m_customTiles))
        cells.append(custom.tile);
    if (m_addTile)
        cells.append(m_addTile);
    m_grid->setWidgets(cells);
    for (QWidget *cell : std::as_const(cells))
        cell->show();
}
