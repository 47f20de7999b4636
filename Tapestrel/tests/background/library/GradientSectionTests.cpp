#include "LibraryFixture.h"

#include "Tapestrel/background/AddBackgroundButton.h"
#include "Tapestrel/background/BackgroundSelection.h"
#include "Tapestrel/background/BackgroundTile.h"
#include "Tapestrel/background/ColorWell.h"
#include "Tapestrel/background/EditorPreview.h"
#include "Tapestrel/background/GradientEditor.h"
#include "Tapestrel/background/GradientPicker.h"
#include "Tapestrel/background/NumberLabel.h"

#include "testsupport/RunTask.h"

#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using KivDesktopBackground::Background;
using KivDesktopBackground::SerializableLinearGradient;
using Stop = SerializableLinearGradient::Stop;

namespace {

class GradientSectionTest : public LibraryTests::LibraryTest
{
protected:
    static QList<std::optional<double>> locations(const QList<Stop> &stops)
    {
        QList<std::optional<double>> list;
        for (const Stop &stop : stops)
            list.append(stop.location);
        return list;
    }
    static QList<double> shown(const GradientEditor &editor)
    {
        QList<double> list;
        for (ColorRow *row : editor.rows())
            list.append(row->displayedLocation());
        return list;
    }
};

} // namespace

TEST_F(GradientSectionTest, EditorKeepsWhatItIsGivenAndStoresWholeSteps)
{
    std::optional<SerializableLinearGradient> handedOver;
    auto capture = [&handedOver](const SerializableLinearGradient &g) {
        handedOver = g;
    };

    // Saved unchanged: the fractional angle, absent locations, the order of the stops.
    const SerializableLinearGradient given(45.6, {{Qt::blue, 1.0}, {Qt::red, {}}, {Qt::green, 0.333}});
    GradientEditor editor(given, capture);
    editor.show();
    EXPECT_EQ(editor.angleSlider()->value(), 46);
    EXPECT_EQ(shown(editor), QList<double>({1.0, 0.5, 0.33}));
    TestSupport::saveScreenshot(&editor, "background/gradient-sheet");
    QTest::keyClick(&editor, Qt::Key_Return);
    ASSERT_TRUE(handedOver);
    EXPECT_EQ(*handedOver, given);

    GradientEditor outOfRange(SerializableLinearGradient(400, {{Qt::red, {}}}), capture);
    EXPECT_EQ(outOfRange.angleSlider()->value(), 360);
    EXPECT_EQ(outOfRange.angle(), 400);
    outOfRange.setAngle(123.5);
    EXPECT_EQ(outOfRange.angle(), 124);
    outOfRange.angleSlider()->setValue(12);
    EXPECT_EQ(outOfRange.angle(), 12);
    // A single stop cannot be removed and shows at 0 without a location.
    ASSERT_EQ(outOfRange.rows().size(), 1);
    EXPECT_FALSE(outOfRange.rows()[0]->removeButton()->isEnabled());
    EXPECT_EQ(outOfRange.rows()[0]->displayedLocation(), 0);
    outOfRange.rows()[0]->setLocation(0.4567);
    EXPECT_EQ(outOfRange.stops()[0].location, 0.46);
    EXPECT_EQ(outOfRange.stops()[0].color, QColor(Qt::red));

    // Added stops go to the end, white at 0.5; removing keeps the others' stored locations.
    GradientEditor twoStops(SerializableLinearGradient(90, {{Qt::red, 0.0}, {Qt::blue, 1.0}}), capture);
    twoStops.addColorButton()->click();
    EXPECT_EQ(locations(twoStops.stops()), QList<std::optional<double>>({0.0, 1.0, 0.5}));
    EXPECT_EQ(twoStops.stops()[2].color, QColor(Qt::white));
    EXPECT_EQ(twoStops.preview()->gradient()->stops, twoStops.stops());
    twoStops.rows()[1]->removeButton()->click();
    EXPECT_EQ(locations(twoStops.stops()), QList<std::optional<double>>({0.0, 0.5}));
    twoStops.removeStop(7);
    EXPECT_EQ(twoStops.stops().size(), 2);

    GradientEditor unplaced(SerializableLinearGradient(90, {{Qt::red, {}}, {Qt::green, {}}, {Qt::blue, {}}}),
                            capture);
    EXPECT_EQ(shown(unplaced), QList<double>({0, 0.5, 1}));
    unplaced.removeStop(1);
    EXPECT_EQ(shown(unplaced), QList<double>({0, 1}));

    handedOver.reset();
    GradientEditor empty(SerializableLinearGradient(90, {}), capture);
    empty.show();
    EXPECT_TRUE(empty.rows().isEmpty());
    empty.addColor();
    EXPECT_EQ(empty.rows().size(), 1);
    QTest::keyClick(&empty, Qt::Key_Escape);
    EXPECT_FALSE(handedOver);
}

TEST_F(GradientSectionTest, PickerAddsARandomGradientAndEditsItInPlace)
{
    Option *option = backgroundOption();
    GradientPicker picker(new BackgroundSelection(option, context), context);

    // A new gradient starts from the random source: hues 70 degrees apart, angle 90, "Add".
    randomFractions = {0.5, 0.5, 0.5};
    static_cast<AddBackgroundButton *>(picker.addTile())->click();
    ASSERT_TRUE(picker.sheet());
    GradientEditor *sheet = picker.sheet();
    EXPECT_EQ(sheet->angle(), 90);
    ASSERT_EQ(sheet->stops().size(), 2);
    EXPECT_NEAR(sheet->stops()[0].color.hsvHueF(), 0.5 - 35.0 / 360, 1e-4);
    EXPECT_NEAR(sheet->stops()[1].color.hsvHueF(), 0.5 + 35.0 / 360, 1e-4);
    sheet->setAngle(30);
    sheet->confirmButton()->click();
    settle();

    QList<CustomBackground *> records = stored(CustomBackground::Kind::Gradient);
    ASSERT_EQ(records.size(), 1);
    const nlohmann::json value = decoded(records[0]->backgroundValue());
    EXPECT_EQ(value["type"], "linearGradient");
    EXPECT_EQ(value["gradient"]["angle"], 30);
    EXPECT_EQ(value["gradient"]["stops"].size(), 2u);
    EXPECT_EQ(decoded(option->value()), value);
    ASSERT_EQ(picker.tiles().size(), 6);
    EXPECT_TRUE(picker.tiles()[5]->isSelected());

    const QString uuid = records[0]->uuid();
    picker.presentEditor(records[0]);
    EXPECT_EQ(picker.sheet()->angle(), 30);
    picker.sheet()->setAngle(200);
    QTest::keyClick(picker.sheet(), Qt::Key_Return);
    settle();
    records = stored(CustomBackground::Kind::Gradient);
    ASSERT_EQ(records.size(), 1);
    EXPECT_EQ(records[0]->uuid(), uuid);
    EXPECT_EQ(decoded(records[0]->backgroundValue())["gradient"]["angle"], 200);
    EXPECT_EQ(decoded(option->value())["gradient"]["angle"], 200);

    picker.presentEditor(records[0]);
    picker.sheet()->setAngle(10);
    picker.sheet()->cancelButton()->click();
    settle();
    EXPECT_EQ(picker.editingItem(), nullptr);
    EXPECT_EQ(decoded(records[0]->backgroundValue())["gradient"]["angle"], 200);

    addRecord(CustomBackground::Kind::Gradient, picker.tiles()[0]->background().rawValue());
    addRecord(CustomBackground::Kind::Gradient, "{\"type\":\"linearGradient\"}");
    settle();
    EXPECT_EQ(picker.tiles().size(), 7);
    picker.tiles()[6]->click();
    EXPECT_TRUE(picker.tiles()[0]->isSelected());
    EXPECT_TRUE(picker.tiles()[6]->isSelected());
}

TEST_F(GradientSectionTest, ALongLibraryFillsInAfterTheFirstBatch)
{
    const QString value =
        Background::linearGradient(SerializableLinearGradient(90, {{Qt::red, {}}})).rawValue();
    for (int i = 0; i < 100; ++i)
        context->insert(std::make_unique<CustomBackground>(CustomBackground::Kind::Gradient, value));
    context->save();
    GradientPicker picker(new BackgroundSelection(std::optional<Background>()), context);
    EXPECT_EQ(picker.tiles().size(), 5 + BackgroundSectionPicker::firstBatch);
    ASSERT_TRUE(TestSupport::waitUntil([&picker] { return picker.tiles().size() == 105; }));
    picker.tiles()[5]->click();
    EXPECT_TRUE(picker.tiles()[104]->isSelected());
    EXPECT_FALSE(picker.tiles()[4]->isSelected());
}
