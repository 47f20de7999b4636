#include "KivUtilities/DeleteModalAlertConfirmation.h"
#include "testsupport/Screenshots.h"
#include "platform/Alerts.h"

#include <QApplication>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace KivUtilities;

namespace {

DeleteModalAlertConfirmation confirmation()
{
    return DeleteModalAlertConfirmation([](const QVariantList &items) -> std::optional<QString> {
        if (items.isEmpty())
            return std::nullopt;
        return QStringLiteral("Delete %1 items?").arg(items.size());
    });
}

std::optional<bool> confirmWithKey(Qt::Key key, bool screenshot = false)
{
    QTimer::singleShot(50, [key, screenshot] {
        QWidget *box = QApplication::activeModalWidget();
        ASSERT_NE(box, nullptr);
        if (screenshot)
            TestSupport::saveScreenshot(box, QStringLiteral("delete-confirmation"));
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(box, &press);
    });
    std::optional<bool> answer;
    auto asking = confirmation();
    asking.confirm({1, 2}, [&answer](bool confirmed) { answer = confirmed; });
    return answer;
}

} // namespace

TEST(DeleteConfirmation, AlertTextsDefaultAndEscape)
{
    const std::optional<Platform::Alert> alert =
        confirmation().makeAlert({QStringLiteral("a"), QStringLiteral("b")});
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message.toStdString(), "Delete 2 items?");
    EXPECT_EQ(alert->informativeText.toStdString(), "This operation cannot be undone.");
    ASSERT_EQ(alert->buttons.size(), 2);
    EXPECT_EQ(alert->buttons.at(0).toStdString(), "Delete");
    EXPECT_EQ(alert->buttons.at(1).toStdString(), "Don't delete");
    EXPECT_EQ(alert->style, Platform::Alert::Style::Warning);

    std::unique_ptr<QMessageBox> box(Platform::Alerts::makeMessageBox(*alert));
    EXPECT_EQ(box->defaultButton()->text(), "Delete");
    EXPECT_EQ(box->escapeButton()->text(), "Don't delete");

    EXPECT_FALSE(confirmation().makeAlert({}));
}

TEST(DeleteConfirmation, ReturnDeletesEscapeKeeps)
{
    ASSERT_FALSE(Platform::Alerts::hasAnswerer());
    EXPECT_EQ(confirmWithKey(Qt::Key_Return, true), true);
    EXPECT_EQ(confirmWithKey(Qt::Key_Escape), false);
    EXPECT_TRUE(QFileInfo::exists(QCoreApplication::applicationDirPath()
                                  + "/../screenshots/delete-confirmation.png"));
}

TEST(DeleteConfirmation, NothingToAskGoesAheadAndAnswersComeThroughTheAlerts)
{
    Platform::ScriptedAlertAnswerer answerer;
    std::optional<bool> answer;
    auto asking = confirmation();
    asking.confirm({}, [&answer](bool confirmed) { answer = confirmed; });
    EXPECT_EQ(answer, true) << "an operation with no question is never dropped";
    EXPECT_TRUE(answerer.alerts().isEmpty());

    answerer.answer(QStringLiteral("Don't delete"));
    asking.confirm({1}, [&answer](bool confirmed) { answer = confirmed; });
    EXPECT_EQ(answer, false);
    answerer.answer(-1); // the alert closed without a button
    asking.confirm({1}, [&answer](bool confirmed) { answer = confirmed; });
    EXPECT_EQ(answer, false);
    answerer.answer(QStringLiteral("Delete"));
    asking.confirm({1}, [&answer](bool confirmed) { answer = confirmed; });
    EXPECT_EQ(answer, true);
    EXPECT_EQ(answerer.alerts().size(), 3);
}
