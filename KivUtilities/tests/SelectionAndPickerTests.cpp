#include "KivUtilities/DefaultsEnumPicker.h"
#include "KivUtilities/RepairingSelection.h"
#include "KivUtilities/TextCleaningModifier.h"
#include "platform/UserDefaults.h"
#include "testsupport/TempHome.h"

#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>

#include <gtest/gtest.h>

using namespace KivUtilities;
using Ops = TextCleaningModifier::Operations;

TEST(RepairingSelection, PlainAndCommandClicks)
{
    using S = QSet<QString>;
    auto tap = [](S selection, const char *item, bool command) {
        return RepairingSelection<QString>::afterTap(selection, QString::fromLatin1(item), command);
    };
    EXPECT_EQ(tap({"a"}, "a", false), S());
    EXPECT_EQ(tap({"a"}, "b", false), S({"b"}));
    EXPECT_EQ(tap({"a", "b"}, "a", false), S()) << "a plain click on a selected item clears everything";
    EXPECT_EQ(tap({"a", "b"}, "a", true), S({"b"}));
    EXPECT_EQ(tap({"a", "b"}, "c", true), S({"a", "b", "c"}));
    EXPECT_EQ(tap({}, "a", false), S({"a"}));
    EXPECT_EQ(tap({}, "a", true), S({"a"}));

    // Through a widget: the click writes the binding once.
    S selection {"a", "b"};
    int writes = 0;
    QWidget row;
    new RepairingSelection<QString>(&row,
                                    Binding<QSet<QString>> {[&] { return selection; },
                                                            [&](const S &s) {
                                                                selection = s;
                                                                ++writes;
                                                            },
                                                            {}},
                                    QStringLiteral("c"));
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1), Qt::LeftButton, Qt::LeftButton,
                      Qt::NoModifier);
    QApplication::sendEvent(&row, &press);
    EXPECT_EQ(selection, S({"c"}));
    EXPECT_EQ(writes, 1);
}

TEST(TextCleaning, OperationsRunInTheirFixedOrderOnSubmit)
{
    EXPECT_EQ(TextCleaningModifier::clean(QStringLiteral("  a b  "), {Ops::RemoveWhitespaces}).toStdString(),
              "a b");
    EXPECT_EQ(TextCleaningModifier::clean(QStringLiteral("\n  a\t"), {Ops::RemoveWhitespaces}).toStdString(),
              "\n  a");
    EXPECT_EQ(
        TextCleaningModifier::clean(QStringLiteral("\u00a0a\u2003"), {Ops::RemoveWhitespaces}).toStdString(),
        "a");
    const QSet<Ops> all {Ops::ReplaceNewLineCharacterBySpace, Ops::RemoveWhitespacesAndNewLines,
                         Ops::RemoveWhitespaces};
    EXPECT_EQ(TextCleaningModifier::clean(QStringLiteral("\na\nb\n"), all).toStdString(), "a b");
    EXPECT_EQ(TextCleaningModifier::clean(QStringLiteral(" x \n"), {}).toStdString(), " x \n");

    QLineEdit field;
    TextCleaningModifier::attach(&field, {Ops::RemoveWhitespaces});
    field.setText(QStringLiteral("  name "));
    EXPECT_EQ(field.text().toStdString(), "  name ") << "nothing happens while typing";
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(&field, &enter);
    EXPECT_EQ(field.text().toStdString(), "name");
}

namespace {

enum class Speed { Slow, Medium, Fast };

QString raw(Speed speed)
{
    return QStringList {"slow", "medium", "fast"}.at(int(speed));
}

QString title(Speed speed)
{
    return raw(speed).toUpper();
}

} // namespace

TEST(DefaultsEnumPicker, ListsCasesAndWritesTheRawTextToTheDefaults)
{
    TestSupport::TempHome home;
    Platform::UserDefaults &defaults = Platform::UserDefaults::standard();
    defaults.setValue(QStringLiteral("speed"), QStringLiteral("medium"));

    const auto cases =
        DefaultsEnumPicker::cases<Speed>({Speed::Slow, Speed::Medium, Speed::Fast}, raw, title);
    DefaultsEnumPicker picker(QStringLiteral("Speed"), std::nullopt, cases,
                              DefaultsEnumPicker::standardDefaultsBinding(QStringLiteral("speed")));
    QComboBox *combo = picker.comboBox();
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0), "SLOW");
    EXPECT_EQ(combo->itemText(2), "FAST");
    EXPECT_EQ(combo->currentIndex(), 1);
    EXPECT_EQ(picker.descriptionText(), "");

    emit combo->activated(2);
    EXPECT_EQ(defaults.string(QStringLiteral("speed")), QStringLiteral("fast"));

    // A change made elsewhere moves the selection.
    defaults.setValue(QStringLiteral("speed"), QStringLiteral("slow"));
    EXPECT_EQ(combo->currentIndex(), 0);

    DefaultsEnumPicker described(QStringLiteral("Speed"), QStringLiteral("How fast things go."), cases,
                                 DefaultsEnumPicker::standardDefaultsBinding(QStringLiteral("speed")));
    EXPECT_EQ(described.descriptionText(), "How fast things go.");
}
