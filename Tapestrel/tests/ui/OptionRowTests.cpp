#include "UiFixture.h"

#include "Tapestrel/model/Option.h"
#include "Tapestrel/widgets/ColorLabel.h"
#include "Tapestrel/widgets/EditorPicker.h"
#include "platform/Alerts.h"
#include "testsupport/RunTask.h"
#include "testsupport/Screenshots.h"

#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>

using TestSupport::spinEventLoop;
using TestSupport::waitUntil;
using namespace std::chrono_literals;

namespace {

const QString appearance = QStringLiteral("system.ui.appearance");

class OptionRowTest : public UiTests::UiTest
{
protected:
    std::unique_ptr<QMenu> menuOf(EditorPicker &row) { return std::unique_ptr<QMenu>(row.makeMenu()); }
    void click(EditorPicker &row, const QString &text)
    {
        auto menu = menuOf(row);
        QAction *action = entry(menu.get(), text);
        ASSERT_NE(action, nullptr) << text.toStdString();
        action->trigger();
    }
};

TEST_F(OptionRowTest, BadgeAndMenuFollowTheProfileAndGlobalStates)
{
    Profile *profile = newProfile("Work");
    EditorPicker row(appearance, profile, &options);

    // Showing the row gives the profile its option: empty, enabled, no badge.
    ASSERT_NE(profile->option(appearance), nullptr);
    EXPECT_EQ(row.option(), profile->option(appearance));
    EXPECT_EQ(row.option()->value(), "");
    EXPECT_TRUE(row.option()->isEnabled());
    EXPECT_EQ(row.state(), EditorPicker::State::enabled);
    EXPECT_TRUE(row.badge()->isHidden());
    EXPECT_EQ(
        entries(menuOf(row).get()),
        QStringList({"Apply", "Read from System", "-", "Disable in this Profile", "-", "Disable Globally"}));
    row.option()->setValue("Dark");

    // Disabled in this profile: yellow badge, only isEnabled changes.
    click(row, "Disable in this Profile");
    EXPECT_FALSE(profile->option(appearance)->isEnabled());
    EXPECT_EQ(profile->option(appearance)->value(), "Dark");
    EXPECT_EQ(row.state(), EditorPicker::State::disabledInProfile);
    EXPECT_FALSE(row.badge()->isHidden());
    EXPECT_EQ(
        entries(menuOf(row).get()),
        QStringList({"Apply", "Read from System", "-", "Enable in this Profile", "-", "Disable Globally"}));

    // Disabled globally as well: the global state wins and the profile toggle leaves the menu.
    click(row, "Disable Globally");
    EXPECT_EQ(options.disabledOptionsIDs(), QStringList({appearance}));
    EXPECT_EQ(cloud.value("disabledOptionsIDs").toStringList(), QStringList({appearance}));
    EXPECT_EQ(row.state(), EditorPicker::State::disabledGlobally);
    EXPECT_EQ(row.badge()->color(), QColor(Qt::red));
    EXPECT_EQ(entries(menuOf(row).get()), QStringList({"Apply", "Read from System", "-", "Enable Globally"}));

    // A list written elsewhere with the identifier twice: one click removes both, and the profile's
    // own state comes back.
    options.setDisabledOptionsIDs({appearance, "system.dock.size", appearance});
    click(row, "Enable Globally");
    EXPECT_EQ(options.disabledOptionsIDs(), QStringList({"system.dock.size"}));
    EXPECT_EQ(row.state(), EditorPicker::State::disabledInProfile);

    click(row, "Enable in this Profile");
    EXPECT_TRUE(profile->option(appearance)->isEnabled());
    EXPECT_EQ(profile->option(appearance)->value(), "Dark");
    EXPECT_TRUE(row.badge()->isHidden());
    EXPECT_EQ(profile->options().size(), 1);
}

TEST_F(OptionRowTest, BadgesAreReadableAndRowsLineUpWithOrWithoutOne)
{
    // Red and yellow on light and dark windows, the text at least 4.5:1 against its patch.
    for (const QColor &window :
         {QColor(Qt::white), QColor(0xef, 0xef, 0xef), QColor(0x32, 0x32, 0x32), QColor(0x1e, 0x1e, 0x1e)}) {
        for (const QColor &color : {QColor(Qt::red), QColor(0xff, 0xcc, 0x00)}) {
            const QColor text = ColorLabel::textColor(color, window);
            EXPECT_GE(ColorLabel::contrast(text, ColorLabel::patchColor(color, window)), 4.5)
                << window.name().toStdString() << " " << color.name().toStdString();
        }
    }
    EXPECT_NEAR(ColorLabel::contrast(Qt::black, Qt::white), 21.0, 1e-9);

    registry.model(appearance)->makesPicker = true;
    registry.model("system.dock.position")->makesPicker = true;
    Profile *profile = newProfile("Work");
    QWidget rows;
    auto *layout = new QVBoxLayout(&rows);
    auto *disabled = new EditorPicker(appearance, profile, &options, &rows);
    auto *enabled = new EditorPicker("system.dock.position", profile, &options, &rows);
    layout->addWidget(disabled);
    layout->addWidget(enabled);
    disabled->option()->setEnabled(false);
    rows.resize(520, 120);
    rows.show();
    spinEventLoop(20ms);
    ASSERT_FALSE(disabled->badge()->isHidden());
    ASSERT_TRUE(enabled->badge()->isHidden());
    ASSERT_NE(disabled->picker(), nullptr);
    ASSERT_NE(enabled->picker(), nullptr);
    EXPECT_EQ(disabled->picker()->mapTo(&rows, QPoint()).x(), enabled->picker()->mapTo(&rows, QPoint()).x());
    TestSupport::saveScreenshot(&rows, "ui/option-rows-with-badge");
}

TEST_F(OptionRowTest, ApplyAndReadFromSystemUseTheProfilesOwnOption)
{
    Profile *profile = newProfile("Work");
    auto *existing = new Option(appearance, "Dark", profile);
    existing->setEnabled(false);
    options.setDisabledOptionsIDs({appearance});
    EditorPicker row(appearance, profile, &options);
    EXPECT_EQ(row.option(), existing);

    // The row's Apply ignores both disabled states; a Dock restart asked for happens once.
    registry.model(appearance)->setsDockRestart = true;
    click(row, "Apply");
    EXPECT_TRUE(waitUntil([&] { return dockRestarts == 1; }));
    EXPECT_EQ(registry.journal->entries, QStringList({"apply system.ui.appearance=Dark @Work"}));

    // A failing apply restarts nothing, and tells the person who chose it why.
    Platform::ScriptedAlertAnswerer alerts;
    registry.model(appearance)->fails = true;
    registry.model(appearance)->failure = "System Events refused.";
    click(row, "Apply");
    EXPECT_TRUE(waitUntil([&] { return registry.journal->entries.size() == 2; }));
    ASSERT_TRUE(waitUntil([&] { return alerts.alerts().size() == 1; }));
    EXPECT_EQ(alerts.alerts()[0].message, "“Test › system.ui.appearance” could not be changed.");
    EXPECT_EQ(alerts.alerts()[0].informativeText, "System Events refused.");
    spinEventLoop(200ms);
    EXPECT_EQ(dockRestarts, 1);

    registry.model(appearance)->currentValue = "Light";
    click(row, "Read from System");
    EXPECT_TRUE(waitUntil([&] { return existing->value() == "Light"; }));
    EXPECT_FALSE(existing->isEnabled());

    // A model that cannot tell leaves the value as it was.
    registry.model(appearance)->currentValue.reset();
    click(row, "Read from System");
    spinEventLoop(200ms);
    EXPECT_EQ(existing->value(), "Light");
    EXPECT_EQ(profile->options().size(), 1);
}

// A row without a registered model is empty and disabled; one whose profile was deleted ends quietly.
// Neither acts on anything.
TEST_F(OptionRowTest, ARowWithNothingToActOnDoesNothing)
{
    EditorPicker unregistered("apps.nova.editorTheme", newProfile("Work"), &options);
    EXPECT_FALSE(unregistered.isEnabled());
    EXPECT_EQ(unregistered.option(), nullptr);
    EXPECT_EQ(unregistered.picker(), nullptr);
    EXPECT_TRUE(unregistered.profile()->options().isEmpty());
    EXPECT_TRUE(menuOf(unregistered)->actions().isEmpty());

    QPointer<Profile> gone = newProfile("Gone");
    EditorPicker orphan(appearance, gone, &options);
    context->remove(gone);
    context->save();
    spinEventLoop(50ms);
    EXPECT_TRUE(gone.isNull());
    for (EditorPicker *row : {&unregistered, &orphan}) {
        row->applyOption();
        row->readFromSystem();
    }
    orphan.toggleInProfile();
    spinEventLoop(100ms);
    EXPECT_TRUE(registry.journal->entries.isEmpty());
    EXPECT_EQ(orphan.state(), EditorPicker::State::enabled);
}

} // namespace
