#include "Tapestrel/ui/preview/ProfilePreview.h"
#include "testsupport/Screenshots.h"

#include "KivDesktopBackground/Background.h"
#include "Tapestrel/background/BackgroundView.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/system/SystemColor.h"
#include "testsupport/TempHome.h"

#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>

#include <gtest/gtest.h>

#include <memory>

using KivDesktopBackground::Background;

namespace {

constexpr double W = 180;
constexpr double H = 101.25;

class ProfilePreviewTest : public TestSupport::TempHomeTest
{
protected:
    Profile &profile() { return m_profile; }
    void set(const QString &key, const QString &value) { m_profile.findOrCreateOption(key)->setValue(value); }
    ProfilePreviewLayout layout(double width = W, double height = H) const
    {
        return ProfilePreviewLayout::make(ProfilePreviewValues::read(m_profile), QSizeF(width, height));
    }

private:
    Profile m_profile {"Preview"};
};

const QString appearance = "system.ui.appearance";
const QString menuBarHides = "system.misc.autoHideMenuBar";
const QString dockHides = "system.desktop.dock.autoHide";
const QString dockPosition = "system.dock.position";
const QString showWidgets = "system.ui.desktop.ShowWidgets";
const QString style = "system.desktop.iconAndWidgetStyle";
const QString folderColor = "system.finder.folderColor";
const QString accentColor = "system.ui.accentColor";
const QString showIcons = "system.ui.desktop.ShowIcons";
const QString stageManager = "system.desktop.stageManager.enable";

void expectRect(const std::optional<QRectF> &shown, const QRectF &expected)
{
    ASSERT_TRUE(shown.has_value()) << "not shown";
    const QRectF &actual = *shown;
    EXPECT_NEAR(actual.x(), expected.x(), 1e-9);
    EXPECT_NEAR(actual.y(), expected.y(), 1e-9);
    EXPECT_NEAR(actual.width(), expected.width(), 1e-9);
    EXPECT_NEAR(actual.height(), expected.height(), 1e-9);
}

using TestSupport::grabAndKeep;

bool near(QRgb a, QColor b)
{
    return qAbs(qRed(a) - b.red()) < 10 && qAbs(qGreen(a) - b.green()) < 10 && qAbs(qBlue(a) - b.blue()) < 10;
}

TEST_F(ProfilePreviewTest, AProfileWithoutOptionsShowsDarkBlueFoldersOnTheBaseColourOnly)
{
    const ProfilePreviewLayout empty = layout();
    EXPECT_EQ(empty.elementColor, previewElementColor(false));
    EXPECT_EQ(empty.elementBorderColor, previewElementBorderColor(false));
    EXPECT_NE(previewElementColor(true), previewElementColor(false));
    EXPECT_FALSE(empty.menuBar);
    EXPECT_FALSE(empty.dock);
    EXPECT_TRUE(empty.widgets.isEmpty());
    EXPECT_FALSE(empty.stageManager);
    EXPECT_EQ(empty.iconColor, SystemColors::color(SystemColor::blue));

    // Two folders side by side in the top right corner, the third under the right one.
    const double u = 8;
    const double icon = u * 1.8;
    ASSERT_EQ(empty.icons.size(), 3);
    expectRect(empty.icons[1], QRectF(W - u - icon, 2 * u, icon, icon));
    expectRect(empty.icons[0], QRectF(W - u - 2 * icon - u * 0.25, 2 * u, icon, icon));
    expectRect(empty.icons[2], QRectF(W - u - icon, 2 * u + icon + u * 0.25, icon, icon));

    ProfilePreview preview(&profile(), W, H);
    EXPECT_EQ(preview.size(), QSize(180, 102));
    EXPECT_FALSE(preview.backgroundView()->background());
}

TEST_F(ProfilePreviewTest, ValuesAreReadExactlyAndUnreadableTextsFallBack)
{
    for (const char *text : {"Light", "LIGHT", "dark"}) {
        set(appearance, text);
        EXPECT_EQ(layout().elementColor, previewElementColor(false)) << text;
    }
    set(appearance, "light");
    EXPECT_EQ(layout().elementColor, previewElementColor(true));
    EXPECT_EQ(layout().elementBorderColor, previewElementBorderColor(true));

    // The menu bar and the Dock show only when the profile says they do not hide.
    for (const char *text : {"0", "no", "FALSE", "1", "true", "maybe"}) {
        set(menuBarHides, text);
        set(dockHides, text);
        const bool shown = QStringList {"0", "no", "FALSE"}.contains(text);
        EXPECT_EQ(layout().menuBar.has_value(), shown) << text;
        EXPECT_EQ(layout().dock.has_value(), shown) << text;
    }

    // Icons show unless plainly hidden; widgets only when plainly shown.
    set(showIcons, "maybe");
    set(showWidgets, "maybe");
    EXPECT_EQ(layout().icons.size(), 3);
    EXPECT_TRUE(layout().widgets.isEmpty());
    set(showIcons, "No");
    set(showWidgets, "YES");
    EXPECT_TRUE(layout().icons.isEmpty());
    EXPECT_EQ(layout().widgets.size(), 3);

    // Switching an option off, in the profile or everywhere, does not hide its value from the picture.
    profile().option(showWidgets)->setEnabled(false);
    EXPECT_EQ(layout().widgets.size(), 3);
}

TEST_F(ProfilePreviewTest, TheDockSitsOnItsEdgeAndMovesTheIcons)
{
    set(dockHides, "false");
    set(menuBarHides, "false");
    expectRect(layout().menuBar, QRectF(0, 0, W, 8));

    expectRect(layout().dock, QRectF(45, H - 16, 90, 16));
    set(dockPosition, "top");
    expectRect(layout().dock, QRectF(45, H - 16, 90, 16));
    set(dockPosition, "left");
    expectRect(layout().dock, QRectF(0, (H - 60) / 2, 16, 60));
    EXPECT_DOUBLE_EQ(layout().icons[1].right(), W - 8);
    set(dockPosition, "right");
    expectRect(layout().dock, QRectF(W - 16, (H - 60) / 2, 16, 60));
    EXPECT_DOUBLE_EQ(layout().icons[1].right(), W - 8 - 16);

    // A hidden Dock on the right still keeps the icons clear of its edge.
    set(dockHides, "true");
    EXPECT_FALSE(layout().dock);
    EXPECT_DOUBLE_EQ(layout().icons[1].right(), W - 8 - 16);

    // Lengths follow the width; the picture's height only centres what stands on the side edges.
    set(dockHides, "false");
    const ProfilePreviewLayout twice = layout(2 * W, 2 * H);
    expectRect(twice.dock, QRectF(2 * W - 32, (2 * H - 120) / 2, 32, 120));
    EXPECT_DOUBLE_EQ(twice.icons[1].right(), 2 * W - 16 - 32);
}

TEST_F(ProfilePreviewTest, StageManagerTakesTheEdgeAwayFromTheDock)
{
    set(showWidgets, "true");
    set(stageManager, "true");
    const double side = 17;
    const double spacing = 2;
    const double top = (H - (3 * side + 2 * spacing)) / 2;

    // Dock at the bottom: strip at the left edge, widgets 24 further in, icons unmoved.
    ProfilePreviewLayout bottom = layout();
    ASSERT_TRUE(bottom.stageManager);
    ASSERT_EQ(bottom.stageManager->thumbnails.size(), 3);
    expectRect(bottom.stageManager->thumbnails[0], QRectF(6, top, side, side));
    expectRect(bottom.stageManager->thumbnails[2], QRectF(6, top + 2 * (side + spacing), side, side));
    EXPECT_GT(bottom.stageManager->tilt, 0);
    EXPECT_DOUBLE_EQ(bottom.widgets[0].left(), 6 + 24);
    EXPECT_DOUBLE_EQ(bottom.icons[1].right(), W - 8);

    // Dock on the left: strip at the right edge turned the other way, icons 16 further in, widgets
    // beside the Dock without the 24.
    set(dockPosition, "left");
    ProfilePreviewLayout left = layout();
    ASSERT_TRUE(left.stageManager);
    expectRect(left.stageManager->thumbnails[1], QRectF(W - 6 - side, top + side + spacing, side, side));
    EXPECT_LT(left.stageManager->tilt, 0);
    EXPECT_DOUBLE_EQ(left.icons[1].right(), W - 8 - 16);
    EXPECT_DOUBLE_EQ(left.widgets[0].left(), 6 + 16);

    // Widgets: one wide over two small ones that share its width.
    const double h = W * 9 * 0.0625 / 6;
    expectRect(left.widgets[0], QRectF(22, 15, 45, h));
    expectRect(left.widgets[1], QRectF(22, 15 + h + 3, 21, h));
    expectRect(left.widgets[2], QRectF(22 + 45 - 21, 15 + h + 3, 21, h));

    set(stageManager, "off");
    EXPECT_FALSE(layout().stageManager);
    EXPECT_DOUBLE_EQ(layout().widgets[0].left(), 22);
}

TEST_F(ProfilePreviewTest, FolderTintAndWidgetColourFollowTheColourOptions)
{
    EXPECT_EQ(previewFolderTint(QStringLiteral(R"({"kind":"red","customColor":null})"), "green"),
              SystemColors::color(SystemColor::red));
    EXPECT_EQ(previewFolderTint(QStringLiteral(R"({"kind":"custom","customColor":"1 0.5 0 1"})"), "green"),
              QColor::fromRgbF(1, 0.5, 0, 1));
    EXPECT_EQ(previewFolderTint(QStringLiteral(R"({"kind":"custom","customColor":null})"), "green"),
              SystemColors::color(SystemColor::green));
    EXPECT_EQ(previewFolderTint("not json", "graphite"), SystemColors::color(SystemColor::gray));
    EXPECT_EQ(previewFolderTint(QString(), "multicolor"), SystemColors::color(SystemColor::blue));
    EXPECT_EQ(previewFolderTint(QString(), "Purple"), SystemColors::color(SystemColor::blue));

    set(showWidgets, "true");
    set(accentColor, "pink");
    const QColor pink = SystemColors::color(SystemColor::pink);
    EXPECT_EQ(layout().iconColor, pink);
    set(style, "TintedDark");
    EXPECT_EQ(layout().widgetColor, pink);
    set(style, "ClearLight");
    EXPECT_EQ(layout().widgetColor, layout().elementColor);
    EXPECT_EQ(layout().iconColor, pink);
}

TEST_F(ProfilePreviewTest, ThePreviewFollowsItsProfileAndOutlivesIt)
{
    auto *owned = new Profile("Live");
    ProfilePreview preview(owned, W, H);
    EXPECT_FALSE(preview.layout().dock);

    Option *dock = owned->findOrCreateOption(dockHides);
    dock->setValue("false");
    ASSERT_TRUE(preview.layout().dock);
    EXPECT_DOUBLE_EQ(preview.layout().dock->top(), H - 16);
    owned->findOrCreateOption(dockPosition)->setValue("right");
    EXPECT_DOUBLE_EQ(preview.layout().dock->left(), W - 16);
    dock->setKey("something.else");
    EXPECT_FALSE(preview.layout().dock);

    owned->findOrCreateOption("system.desktop.background.picture")
        ->setValue(Background::color(Qt::darkCyan).rawValue());
    ASSERT_TRUE(preview.backgroundView()->background());
    EXPECT_EQ(preview.backgroundView()->background()->colorValue(), QColor(Qt::darkCyan));

    delete owned;
    EXPECT_EQ(preview.profile(), nullptr);
    EXPECT_FALSE(preview.grab().isNull());
}

TEST_F(ProfilePreviewTest, FourPreviewsPaintTheirElements)
{
    struct Case
    {
        QString name;
        QList<std::pair<QString, QString>> values;
    };
    const QList<Case> cases = {
        {"preview-empty", {}},
        {"preview-light-bottom-dock",
         {{appearance, "light"}, {dockHides, "false"}, {menuBarHides, "false"}, {showWidgets, "true"}}},
        {"preview-dark-right-dock",
         {{dockHides, "false"},
          {dockPosition, "right"},
          {menuBarHides, "false"},
          {folderColor, QStringLiteral(R"({"kind":"orange","customColor":null})")}}},
        {"preview-stage-manager-left-dock",
         {{appearance, "light"},
          {dockHides, "false"},
          {dockPosition, "left"},
          {stageManager, "true"},
          {showWidgets, "true"},
          {style, "TintedLight"},
          {accentColor, "green"}}},
    };
    const QColor desk = Qt::darkCyan;
    QWidget window;
    auto *row = new QHBoxLayout(&window);
    QList<std::shared_ptr<Profile>> profiles;
    for (const Case &c : cases) {
        auto profile = std::make_shared<Profile>(c.name);
        profile->findOrCreateOption("system.desktop.background.picture")
            ->setValue(Background::color(desk).rawValue());
        for (const auto &[key, value] : c.values)
            profile->findOrCreateOption(key)->setValue(value);
        profiles.append(profile);
        auto *preview = new ProfilePreview(profile.get(), W, H);
        row->addWidget(preview);

        const QImage image = grabAndKeep(preview, c.name);
        const ProfilePreviewLayout &layout = preview->layout();
        // The desktop shows between the elements; each element shows in its own colour.
        EXPECT_TRUE(near(image.pixel(90, 60), desk)) << c.name.toStdString();
        const QPointF folder = layout.icons[1].center() + QPointF(0, 2);
        EXPECT_TRUE(near(image.pixel(folder.toPoint()), layout.iconColor)) << c.name.toStdString();
        if (layout.dock) {
            const QColor over = layout.elementColor;
            const double a = over.alphaF();
            const QColor expected = QColor::fromRgbF(desk.redF() * (1 - a) + over.redF() * a,
                                                     desk.greenF() * (1 - a) + over.greenF() * a,
                                                     desk.blueF() * (1 - a) + over.blueF() * a);
            EXPECT_TRUE(near(image.pixel(layout.dock->center().toPoint()), expected)) << c.name.toStdString();
        }
        if (!layout.widgets.isEmpty() && layout.widgetColor.alpha() == 255) {
            EXPECT_TRUE(near(image.pixel(layout.widgets[0].center().toPoint()), layout.widgetColor));
        }
    }
    grabAndKeep(&window, "previews");
}

} // namespace
