#include "KivUtilities/Symbols.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using KivUtilities::Symbols;

TEST(Symbols, EveryNameOfTheTableHasAnIconThatDraws)
{
    const QStringList names = Symbols::names();
    ASSERT_GE(names.size(), 50);
    for (const QString &name : names) {
        const QIcon icon = Symbols::icon(name);
        EXPECT_FALSE(icon.isNull()) << name.toStdString() << " -> " << Symbols::source(name).toStdString();
        EXPECT_FALSE(icon.pixmap(32, 32).isNull()) << name.toStdString();
        EXPECT_EQ(Symbols::nameOf(icon), name);
    }
    EXPECT_EQ(QIcon::fallbackThemeName(), "breeze");
    // The names the notices and toasts use map where expected.
    EXPECT_TRUE(Symbols::source("menubar.dock.rectangle").startsWith(':'));
    EXPECT_EQ(Symbols::source("document.on.document"), "edit-copy");
    EXPECT_EQ(Symbols::source("trash"), "edit-delete");
}

TEST(Symbols, UnknownNamesDrawNothingAndWidgetsKeepTheName)
{
    EXPECT_TRUE(Symbols::icon("no.such.symbol").isNull());
    EXPECT_TRUE(Symbols::nameOf(QIcon()).isEmpty());

    QLabel label;
    Symbols::apply(&label, "info.circle", 24);
    EXPECT_EQ(label.property("symbol").toString(), "info.circle");
    EXPECT_FALSE(label.pixmap().isNull());
    Symbols::apply(&label, QString());
    EXPECT_TRUE(label.pixmap().isNull());
    EXPECT_EQ(label.property("symbol").toString(), "");

    QPushButton button;
    Symbols::apply(&button, "trash");
    EXPECT_EQ(button.property("symbol").toString(), "trash");
    EXPECT_EQ(Symbols::nameOf(button.icon()), "trash");
}
