#include "LibraryFixture.h"

#include "Tapestrel/background/AddBackgroundButton.h"
#include "Tapestrel/background/BackgroundButtons.h"
#include "Tapestrel/background/BackgroundPicker.h"
#include "Tapestrel/background/BackgroundPreview.h"
#include "Tapestrel/background/BackgroundSelection.h"
#include "Tapestrel/background/BackgroundTile.h"
#include "Tapestrel/background/ColorBackgroundPicker.h"
#include "Tapestrel/background/ColorEditor.h"
#include "Tapestrel/background/DeleteBackgroundAlertModifier.h"
#include "Tapestrel/background/GradientPicker.h"
#include "Tapestrel/background/ImageBackgroundPicker.h"
#include "platform/Alerts.h"
#include "testsupport/RunTask.h"

#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using KivDesktopBackground::Background;
using KivDesktopBackground::SerializableLinearGradient;
using Section = BackgroundPicker::Section;

namespace {

class BackgroundPickerTest : public LibraryTests::LibraryTest
{
protected:
    static QList<Background> backgroundsOf(const BackgroundSectionPicker *picker)
    {
        QList<Background> list;
        for (BackgroundTile *tile : picker->tiles())
            list.append(tile->background());
        return list;
    }
    static QList<int> markedTiles(const BackgroundSectionPicker *picker)
    {
        QList<int> marked;
        const QList<BackgroundTile *> tiles = picker->tiles();
        for (int i = 0; i < tiles.size(); ++i) {
            if (tiles[i]->isSelected())
                marked.append(i);
        }
        return marked;
    }
};

const Background red = Background::color(QColor(0xEA, 0x3C, 0x37));

} // namespace

TEST_F(BackgroundPickerTest, SectionsOpenByDefaultAndFoldTogetherInEveryEditor)
{
    Option *option = backgroundOption();
    BackgroundPicker first(option, context), second(backgroundOption(), context);
    first.resize(520, 900);
    first.show();

    EXPECT_LT(first.sectionHeader(Section::image)->mapTo(&first, QPoint()).y(),
              first.sectionHeader(Section::color)->mapTo(&first, QPoint()).y());
    EXPECT_LT(first.sectionHeader(Section::color)->mapTo(&first, QPoint()).y(),
              first.sectionHeader(Section::gradient)->mapTo(&first, QPoint()).y());
    for (Section section : {Section::image, Section::color, Section::gradient})
        EXPECT_TRUE(first.sectionContent(section)->isVisible());
    EXPECT_FALSE(first.scrollArea()->isAncestorOf(first.preview()));
    EXPECT_EQ(first.preview()->background(), Background::clear());
    const QList<BackgroundTile *> pictures = first.imagePicker()->tiles();
    EXPECT_TRUE(TestSupport::waitUntil(
        [&pictures] {
            return std::all_of(pictures.begin(), pictures.end(), [](BackgroundTile *tile) {
                return static_cast<BackgroundImageView *>(tile)->isLoaded();
            });
        },
        std::chrono::seconds(30)));
    TestSupport::saveScreenshot(&first, "background/picker-open");

    // Folding "Color" in one editor folds it in the other and is remembered; the others stay open.
    first.sectionHeader(Section::color)->click();
    EXPECT_TRUE(first.sectionContent(Section::color)->isHidden());
    EXPECT_TRUE(second.sectionContent(Section::color)->isHidden());
    EXPECT_FALSE(second.sectionContent(Section::image)->isHidden());
    EXPECT_FALSE(Platform::UserDefaults::standard().boolean("isColorBackgroundSectionExpanded"));
    first.sectionHeader(Section::image)->click();
    first.sectionHeader(Section::gradient)->click();
    TestSupport::saveScreenshot(&first, "background/picker-closed");
    BackgroundPicker third(backgroundOption(), context);
    EXPECT_TRUE(third.sectionContent(Section::gradient)->isHidden());
    first.sectionHeader(Section::color)->click();
    EXPECT_FALSE(third.sectionContent(Section::color)->isHidden());
}

TEST_F(BackgroundPickerTest, ChoosingWritesTheOptionAndOnlyApplyingChangesTheDesktop)
{
    Option *option = backgroundOption();
    BackgroundPicker picker(option, context);

    // A click on a gradient tile stores its JSON and shows it; the desktop stays as it was.
    BackgroundTile *gradientTile = picker.gradientPicker()->tiles().at(1);
    gradientTile->click();
    const Background chosen = gradientTile->background();
    EXPECT_EQ(decoded(option->value()), decoded(chosen.rawValue()));
    EXPECT_EQ(picker.preview()->background(), chosen);
    EXPECT_EQ(markedTiles(picker.gradientPicker()), QList<int>({1}));
    EXPECT_TRUE(markedTiles(picker.colorPicker()).isEmpty());
    EXPECT_EQ(desktop.background(), std::nullopt);
    EXPECT_TRUE(option->isEnabled());

    // Menus of built-in tiles: apply now (option unchanged) or choose (desktop unchanged).
    std::unique_ptr<QMenu> menu(picker.colorPicker()->tiles().at(2)->makeMenu());
    EXPECT_EQ(entries(menu.get()), QStringList({"Apply Background", "Choose Background"}));
    trigger(menu.get(), "Apply Background");
    EXPECT_EQ(desktop.background(), red);
    EXPECT_EQ(picker.selection()->get(), chosen);
    trigger(menu.get(), "Choose Background");
    EXPECT_EQ(decoded(option->value()), decoded(R"({"type":"color","color":"#EA3C37"})"));
    EXPECT_EQ(markedTiles(picker.colorPicker()), QList<int>({2}));
    EXPECT_TRUE(markedTiles(picker.gradientPicker()).isEmpty());

    // Older values: a file URL text is an image, whether or not the file exists.
    option->setValue(QUrl::fromLocalFile(home.filePath("gone.jpg")).toString());
    EXPECT_EQ(picker.preview()->background(),
              Background::image(QUrl::fromLocalFile(home.filePath("gone.jpg"))));
    picker.selection()->set(std::nullopt);
    EXPECT_EQ(option->value(), "");

    // An option deleted under the editor reads as nothing chosen and takes no writes.
    context->remove(option);
    context->save();
    EXPECT_EQ(picker.selection()->get(), Background::clear());
    EXPECT_NO_FATAL_FAILURE(gradientTile->click());
}

TEST_F(BackgroundPickerTest, ColorSectionAddsEditsDuplicatesAndDeletesItsRecords)
{
    Option *option = backgroundOption();
    ColorBackgroundPicker picker(new BackgroundSelection(option, context), context);
    EXPECT_EQ(picker.builtInCount(), 10);

    static_cast<AddBackgroundButton *>(picker.addTile())->click();
    ASSERT_TRUE(picker.sheet());
    QTest::keyClick(picker.sheet(), Qt::Key_Escape);
    settle();
    EXPECT_FALSE(picker.sheet());
    EXPECT_TRUE(stored(CustomBackground::Kind::Color).isEmpty());

    // Add a translucent colour with Return: stored opaque, selected, tile after the presets.
    picker.presentEditor();
    picker.sheet()->setColor(QColor(0x12, 0x34, 0x56, 100));
    TestSupport::saveScreenshot(picker.sheet(), "background/color-sheet");
    QTest::keyClick(picker.sheet(), Qt::Key_Return);
    settle();
    QList<CustomBackground *> records = stored(CustomBackground::Kind::Color);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(decoded(records[0]->backgroundValue()), decoded(R"({"type":"color","color":"#123456"})"));
    EXPECT_EQ(decoded(option->value()), decoded(records[0]->backgroundValue()));
    EXPECT_EQ(picker.tiles().size(), 11);
    EXPECT_EQ(markedTiles(&picker), QList<int>({10}));
    const QString uuid = records[0]->uuid();

    std::unique_ptr<QMenu> menu(picker.tiles().at(10)->makeMenu());
    trigger(menu.get(), "Edit");
    ASSERT_TRUE(picker.sheet());
    EXPECT_EQ(picker.editingItem(), records[0]);
    picker.sheet()->setColor(QColor(0xEA, 0x3C, 0x37));
    picker.sheet()->confirmButton()->click();
    settle();
    EXPECT_EQ(picker.editingItem(), nullptr);
    records = stored(CustomBackground::Kind::Color);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0]->uuid(), uuid);
    EXPECT_EQ(markedTiles(&picker), QList<int>({2, 10}));

    menu.reset(picker.tiles().at(10)->makeMenu());
    trigger(menu.get(), "Duplicate");
    settle();
    records = stored(CustomBackground::Kind::Color);
    ASSERT_EQ(records.size(), 2);
    EXPECT_EQ(records[1]->backgroundValue(), records[0]->backgroundValue());
    EXPECT_NE(records[1]->uuid(), records[0]->uuid());
    EXPECT_EQ(markedTiles(&picker), QList<int>({2, 10, 11}));

    // Delete: Cancel keeps it; Delete removes it but leaves the option's value.
    Platform::ScriptedAlertAnswerer alerts;
    alerts.answer("Cancel");
    menu.reset(picker.tiles().at(11)->makeMenu());
    trigger(menu.get(), "Delete");
    ASSERT_EQ(alerts.alerts().size(), 1);
    EXPECT_EQ(picker.deleteAlert()->deletingBackground(), nullptr);
    EXPECT_EQ(stored(CustomBackground::Kind::Color).size(), 2);
    alerts.answer("Delete");
    trigger(menu.get(), "Delete");
    settle();
    EXPECT_EQ(stored(CustomBackground::Kind::Color).size(), 1);
    EXPECT_EQ(picker.tiles().size(), 11);
    EXPECT_EQ(decoded(option->value()), decoded(R"({"type":"color","color":"#EA3C37"})"));

    // A record of kind colour holding a gradient: clear tile, Edit offers "Add" and overwrites it.
    CustomBackground *odd =
        addRecord(CustomBackground::Kind::Color,
                  Background::linearGradient(SerializableLinearGradient(0, {{Qt::red, {}}})).rawValue());
    addRecord(CustomBackground::Kind::Color, "not json");
    settle();
    EXPECT_EQ(picker.tiles().size(), 12);
    picker.presentEditor(odd);
    EXPECT_EQ(picker.sheet()->confirmButton()->text(), "Add");
    picker.sheet()->confirmButton()->click();
    settle();
    EXPECT_EQ(decoded(odd->backgroundValue()), decoded(R"({"type":"color","color":"#8E8E93"})"));
    EXPECT_EQ(stored(CustomBackground::Kind::Color).size(), 3);
}

TEST_F(BackgroundPickerTest, AnOpenSheetOrAlertNeverBringsBackADeletedRecord)
{
    ColorBackgroundPicker picker(new BackgroundSelection(std::optional<Background>()), context);
    CustomBackground *record = addRecord(CustomBackground::Kind::Color, red.rawValue());
    settle();

    // Deleted elsewhere while its sheet is open: saving changes nothing.
    picker.presentEditor(record);
    context->remove(record);
    context->save();
    settle();
    picker.sheet()->confirmButton()->click();
    settle();
    EXPECT_TRUE(stored(CustomBackground::Kind::Color).isEmpty());
    EXPECT_EQ(picker.selection()->get(), std::nullopt);

    // The alert deletes the record it was opened for, also once the pending state was cleared.
    CustomBackground *kept = addRecord(CustomBackground::Kind::Color, red.rawValue());
    Platform::ScriptedAlertAnswerer alerts;
    alerts.setFallback([&picker](const Platform::Alert &) {
        picker.deleteAlert()->setDeletingBackground(nullptr);
        return Platform::AlertResult {0, false};
    });
    picker.deleteAlert()->setDeletingBackground(kept);
    EXPECT_TRUE(stored(CustomBackground::Kind::Color).isEmpty());
}
