#include "KivUtilities/AttributedReadOnlyTextEditor.h"
#include "KivUtilities/BlockWindowMoveModifier.h"
#include "KivUtilities/DisableAnimationOnFirstAppearModifier.h"
#include "KivUtilities/EdgeFadeMask.h"
#include "KivUtilities/ViewProbe.h"
#include "testsupport/ManualClock.h"
#include "testsupport/RunTask.h"

#include <QApplication>
#include <QEnterEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTableView>
#include <QTextDocument>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace KivUtilities;
using TestSupport::spinEventLoop;
using namespace std::chrono_literals;

TEST(ViewProbe, FindsTheWindowOnceAndOnlyWhenThereIsOne)
{
    QWidget window;
    auto *view = new QLabel(QStringLiteral("content"), &window);
    window.show();
    QWidget *found = nullptr;
    int calls = 0;
    auto *probe = ViewProbe::windowModifier(view, [&](QWidget *w) {
        found = w;
        ++calls;
    });
    EXPECT_EQ(calls, 0) << "the probe looks on a later turn of the event loop";
    spinEventLoop(20ms);
    EXPECT_EQ(found, &window);
    EXPECT_TRUE(probe->hasRun());
    view->update();
    spinEventLoop(20ms);
    EXPECT_EQ(calls, 1);

    // A view in no shown window: nothing happens, and nothing later either.
    QWidget loose;
    auto *orphan = new QLabel(&loose);
    int orphanCalls = 0;
    ViewProbe::windowModifier(orphan, [&](QWidget *) { ++orphanCalls; });
    spinEventLoop(20ms);
    loose.show();
    spinEventLoop(20ms);
    EXPECT_EQ(orphanCalls, 0);
}

TEST(ViewProbe, TableAndTextFieldLookups)
{
    // probe → view → a → b → c → table: the table is the fifth ancestor.
    QTableView table;
    auto *a = new QWidget(&table);
    auto *b = new QWidget(a);
    auto *c = new QWidget(b);
    auto *view = new QWidget(c);
    QTableView *foundTable = nullptr;
    ViewProbe::tableViewModifier(view, [&](QTableView *t) { foundTable = t; });
    int wrongLevel = 0;
    ViewProbe::tableViewModifier(c, [&](QTableView *) { ++wrongLevel; });

    QWidget form;
    auto *layout = new QVBoxLayout(&form);
    auto *field = new QLineEdit(&form);
    layout->addWidget(new QLabel(QStringLiteral("Name")));
    layout->addWidget(field);
    QLineEdit *foundField = nullptr;
    ViewProbe::textFieldModifier(&form, [&](QLineEdit *f) { foundField = f; });
    QLineEdit *self = nullptr;
    ViewProbe::textFieldModifier(field, [&](QLineEdit *f) { self = f; });

    spinEventLoop(20ms);
    EXPECT_EQ(foundTable, &table);
    EXPECT_EQ(wrongLevel, 0);
    EXPECT_EQ(foundField, field);
    EXPECT_EQ(self, field);
}

TEST(ViewHelpers, BlockWindowMoveFollowsTheHover)
{
    QWidget window;
    window.setGeometry(400, 300, 200, 100); // away from the pointer, so the view starts unhovered
    auto *view = new QWidget(&window);
    WindowDragMover::setMovableByWindowBackground(&window, false);
    auto *block = new BlockWindowMoveModifier(view);
    window.show();
    spinEventLoop(20ms);
    EXPECT_EQ(block->window(), &window);
    EXPECT_TRUE(WindowDragMover::isMovableByWindowBackground(&window))
        << "movable once found, pointer elsewhere";

    QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
    QApplication::sendEvent(view, &enter);
    EXPECT_TRUE(block->isHovered());
    EXPECT_FALSE(WindowDragMover::isMovableByWindowBackground(&window));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    EXPECT_TRUE(WindowDragMover::isMovableByWindowBackground(&window));
}

TEST(ViewHelpers, AnimationsWaitForTheFirstAppearance)
{
    TestSupport::ManualClock clock;
    QWidget window;
    auto *content = new QWidget(&window);
    auto *modifier = new DisableAnimationOnFirstAppearModifier(&window, 0.2);
    modifier->timeline().setClock(clock.function());
    clock.drive([&] { modifier->timeline().advance(); });
    EXPECT_FALSE(DisableAnimationOnFirstAppearModifier::animationsAllowed(content));
    clock.runTo(500ms);
    EXPECT_FALSE(DisableAnimationOnFirstAppearModifier::animationsAllowed(content))
        << "the wait starts when shown";
    window.show();
    clock.runTo(500ms + 199ms);
    EXPECT_FALSE(modifier->didAppear());
    EXPECT_FALSE(DisableAnimationOnFirstAppearModifier::animationsAllowed(content));
    clock.runTo(500ms + 200ms);
    EXPECT_TRUE(modifier->didAppear());
    EXPECT_TRUE(DisableAnimationOnFirstAppearModifier::animationsAllowed(content));
    window.hide();
    window.show();
    EXPECT_TRUE(DisableAnimationOnFirstAppearModifier::animationsAllowed(content)) << "it never goes back";
    QWidget unrelated;
    EXPECT_TRUE(DisableAnimationOnFirstAppearModifier::animationsAllowed(&unrelated));
}

TEST(ViewHelpers, EdgeFadeStopsAndReadOnlyText)
{
    EXPECT_DOUBLE_EQ(EdgeFadeMask::innerStop(200, 20), 0.1);
    EXPECT_DOUBLE_EQ(EdgeFadeMask::innerStop(30, 20), 0.5);
    EXPECT_DOUBLE_EQ(EdgeFadeMask::innerStop(0.5, 20), 0.25);

    // The mask really fades: the edge pixel of a black strip is clear, the middle is not.
    struct Strip : QWidget
    {
        void paintEvent(QPaintEvent *) override { QPainter(this).fillRect(rect(), Qt::black); }
    } strip;
    strip.resize(200, 20);
    EdgeFadeMask::apply(&strip, 20);
    strip.setAttribute(Qt::WA_TranslucentBackground);
    strip.show();
    const QImage picture = strip.grab().toImage();
    EXPECT_LT(qAlpha(picture.pixel(0, 10)), 40);
    EXPECT_EQ(qAlpha(picture.pixel(100, 10)), 255);
    EXPECT_GT(qAlpha(picture.pixel(10, 10)), 60);
    EXPECT_LT(qAlpha(picture.pixel(10, 10)), 200);

    QTextDocument styled;
    styled.setHtml(QStringLiteral("<p><span style='color:#ff0000'>Red</span> words</p>"));
    AttributedReadOnlyTextEditor editor {QTextDocumentFragment(&styled)};
    EXPECT_TRUE(editor.isReadOnly());
    EXPECT_EQ(editor.textInteractionFlags(), Qt::NoTextInteraction);
    EXPECT_EQ(editor.toPlainText().toStdString(), "Red words");
    EXPECT_NE(editor.toHtml().indexOf(QStringLiteral("#ff0000")), -1);
    editor.setAttributedString(QTextDocumentFragment::fromPlainText(QStringLiteral("Second")));
    EXPECT_EQ(editor.toPlainText().toStdString(), "Second");
}
