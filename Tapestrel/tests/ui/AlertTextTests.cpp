#include "UiFixture.h"

#include "Tapestrel/model/ApplyProfileCommand.h"
#include "Tapestrel/model/UnreadableStore.h"
#include "platform/Alerts.h"
#include "testsupport/RunTask.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

// On a real display: how a message box sizes its texts depends on the screen it opens on.
class X11AlertTextTest : public UiTests::UiTest
{
protected:
    void SetUp() override
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            GTEST_SKIP() << "needs the xcb platform";
    }

    // The program's own alerts: the question before the first profile is applied, and the longest
    // one, about a profile store that cannot be read (it quotes two paths and a reason).
    QList<Platform::Alert> programAlerts()
    {
        Platform::ScriptedAlertAnswerer answerer;
        answerer.answer(QStringLiteral("No"));
        EngineSettings::setDidApplyAnyProfile(false);
        TestSupport::runTask(ApplyProfileCommand(newProfile("Work"), true).executeAndWait());
        const QString store = home.filePath("a rather long folder name/another folder inside it/data.sqlite");
        QDir().mkpath(QFileInfo(store).absolutePath());
        QFile damaged(store);
        EXPECT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(5000, '\x5a'));
        damaged.close();
        answerer.answer(QStringLiteral("Quit"));
        EXPECT_FALSE(UnreadableStore::ensureReadable(store, true));
        EXPECT_EQ(answerer.alerts().size(), 2);
        return answerer.alerts();
    }

    // Whether a label shows all of its text, by the label's own measure: a wrapped label is as high
    // as its text needs at its width, any other is as wide and as high as its text.
    static testing::AssertionResult showsAllOf(const QLabel *label)
    {
        if (!label || label->text().isEmpty())
            return testing::AssertionSuccess();
        if (!label->isVisible())
            return testing::AssertionFailure() << "hidden: " << label->text().toStdString();
        const QSize needed = label->wordWrap() ? QSize(label->width(), label->heightForWidth(label->width()))
                                               : label->sizeHint();
        if (needed.height() > label->height() || needed.width() > label->width())
            return testing::AssertionFailure()
                << "needs " << needed.width() << "×" << needed.height() << ", has " << label->width() << "×"
                << label->height() << ": " << label->text().toStdString();
        return testing::AssertionSuccess();
    }
};

TEST_F(X11AlertTextTest, AlertsShowTheirWholeTextUnderTheProgramsNameAtALargerFont)
{
    const QList<Platform::Alert> alerts = programAlerts();
    ASSERT_EQ(alerts.size(), 2);
    const QFont original = QApplication::font();
    QFont large = original;
    large.setPointSizeF(original.pointSizeF() * 1.5);
    for (const QFont &font : {original, large}) {
        QApplication::setFont(font);
        for (const Platform::Alert &alert : alerts) {
            std::unique_ptr<QMessageBox> box(Platform::Alerts::makeMessageBox(alert));
            box->show();
            TestSupport::spinEventLoop(20ms);
            EXPECT_EQ(box->windowTitle(), "Tapestrel");
            const auto *text = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
            ASSERT_NE(text, nullptr);
            EXPECT_EQ(text->text(), alert.message);
            EXPECT_TRUE(showsAllOf(text));
            const auto *informative = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
            EXPECT_EQ(informative ? informative->text() : QString(), alert.informativeText);
            EXPECT_TRUE(showsAllOf(informative));
            // Every label lies inside the box, and the box on the screen.
            for (const QLabel *label : {text, informative}) {
                if (label) {
                    EXPECT_TRUE(
                        box->rect().contains(QRect(label->mapTo(box.get(), QPoint()), label->size())));
                }
            }
            EXPECT_TRUE(box->screen()->availableGeometry().size().boundedTo(box->size()) == box->size());
            TestSupport::saveScreenshot(
                box.get(),
                QString(&alert == &alerts.first() ? "alerts/first-apply-question" : "alerts/unreadable-store")
                    + (font == original ? "" : "-large"));
        }
    }
    QApplication::setFont(original);
}

} // namespace
