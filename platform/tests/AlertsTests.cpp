#include "platform/Alerts.h"
#include "testsupport/Screenshots.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace Platform;

namespace {

Alert relaunchAlert()
{
    Alert alert;
    alert.message = QStringLiteral("Relaunch the application?");
    alert.informativeText = QStringLiteral("It has to restart to show the new theme.");
    alert.buttons = {QStringLiteral("Relaunch"), QStringLiteral("Not Now")};
    alert.suppressionTitle = QStringLiteral("Don't ask again");
    alert.cancelButton = 1;
    return alert;
}

// Presses a key in the modal box as soon as it is up, so exec() returns without a person.
void pressInNextModal(Qt::Key key, bool tickSuppression = false)
{
    QTimer::singleShot(50, [key, tickSuppression] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        if (tickSuppression && box->checkBox())
            box->checkBox()->setChecked(true);
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(box, &press);
        // Escape with no escape button leaves the box open: close it by a button then.
        if (QApplication::activeModalWidget() == box)
            box->buttons().last()->click();
    });
}

} // namespace

TEST(Alerts, MessageBoxKeepsButtonOrderDefaultAndEscape)
{
    std::unique_ptr<QMessageBox> box(Alerts::makeMessageBox(relaunchAlert()));
    ASSERT_EQ(box->buttons().size(), 2);
    EXPECT_EQ(box->buttons().at(0)->text(), "Relaunch");
    EXPECT_EQ(box->buttons().at(1)->text(), "Not Now");
    EXPECT_EQ(box->defaultButton(), box->buttons().at(0));
    EXPECT_EQ(box->escapeButton(), box->buttons().at(1));
    ASSERT_NE(box->checkBox(), nullptr);

    Alert single;
    single.message = QStringLiteral("Done");
    single.buttons = {QStringLiteral("OK")};
    std::unique_ptr<QMessageBox> lone(Alerts::makeMessageBox(single));
    // A lone button must not silently become the Escape answer when the alert names none.
    EXPECT_EQ(lone->escapeButton(), nullptr);
    EXPECT_EQ(lone->checkBox(), nullptr);
}

TEST(Alerts, SentencesKeepToAFewLines)
{
    Alert quit;
    quit.message = QStringLiteral("Quit Tapestrel?");
    quit.informativeText =
        QStringLiteral("The desktop background of the applied profile disappears when Tapestrel quits.");
    quit.buttons = {QStringLiteral("Quit"), QStringLiteral("Cancel")};
    quit.suppressionTitle = QStringLiteral("Don't ask again");
    std::unique_ptr<QMessageBox> box(Alerts::makeMessageBox(quit));
    box->show();
    QApplication::processEvents();
    auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_LE(label->height(), 3 * label->fontMetrics().lineSpacing()) << label->width();
    TestSupport::saveScreenshot(box.get(), QStringLiteral("platform/quit-alert"));
}

TEST(Alerts, RunAnswersFromTheKeyboard)
{
    ASSERT_FALSE(Alerts::hasAnswerer());
    pressInNextModal(Qt::Key_Escape, true);
    AlertResult escaped = Alerts::run(relaunchAlert());
    EXPECT_EQ(escaped.button, 1);
    EXPECT_TRUE(escaped.suppressed);

    pressInNextModal(Qt::Key_Return);
    AlertResult returned = Alerts::run(relaunchAlert());
    EXPECT_EQ(returned.button, 0);
    EXPECT_FALSE(returned.suppressed);
}

TEST(Alerts, ScriptedAnswererRecordsAnswersAndRestores)
{
    {
        ScriptedAlertAnswerer answerer;
        answerer.answer(1, true);
        answerer.answer(QStringLiteral("Relaunch"));
        answerer.answer(QStringLiteral("Missing"));

        const AlertResult first = Alerts::run(relaunchAlert());
        EXPECT_EQ(first.button, 1);
        EXPECT_TRUE(first.suppressed);
        EXPECT_EQ(Alerts::run(relaunchAlert()).button, 0);
        EXPECT_EQ(Alerts::run(relaunchAlert()).button, -1);
        // Past the script, the default button answers.
        Alert noDefault = relaunchAlert();
        noDefault.defaultButton = 1;
        EXPECT_EQ(Alerts::run(noDefault).button, 1);

        ASSERT_EQ(answerer.alerts().size(), 4);
        EXPECT_EQ(answerer.pendingAnswers(), 0);

        {
            ScriptedAlertAnswerer inner;
            inner.setFallback([](const Alert &) { return AlertResult {1, false}; });
            EXPECT_EQ(Alerts::run(relaunchAlert()).button, 1);
        }
        EXPECT_EQ(Alerts::run(relaunchAlert()).button, 0);
        EXPECT_EQ(answerer.alerts().size(), 5);
    }
    EXPECT_FALSE(Alerts::hasAnswerer());
}
