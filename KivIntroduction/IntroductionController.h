#pragma once

#include "KivIntroduction/IntroductionView.h"

#include <QPointer>
#include <QSize>
#include <QWidget>

class QEventLoop;

namespace KivIntroduction {

// The window of the introduction: a fixed size (no larger than the room its screen offers), titled
// with the application's name, no window buttons, above other windows, moved by dragging anywhere on
// its background. Program code closes it (the model's finish()); a close asked for by the window
// manager goes through the model's requestClose(). Its closing ends a modal run, never the application.
// Return acts as the shown Continue or Finish button, Escape as Go Back.
class IntroductionWindowController : public QWidget
{
    Q_OBJECT

public:
    IntroductionWindowController(IntroductionConfiguration configuration, IntroductionView::Style style,
                                 QSize size);

    IntroductionView *view() const { return m_view; }
    const IntroductionConfiguration &configuration() const { return m_configuration; }
    // The size asked for.
    QSize size() const { return m_size; }
    bool isModal() const { return m_isModal; }

    void showWindow();
    // Runs a modal session for the window until it closes or stopModal() is called; then closes the
    // window when asked.
    void runModal(bool closeWhenDone);
    void stopModal();

protected:
    void closeEvent(QCloseEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    // Sizes the window to the size asked for, or to the room on the screen where that is smaller, and
    // centres it.
    void fitToScreen();
    // Clicks the first of the named buttons that is shown and enabled.
    void clickShown(const QStringList &buttonNames);

    IntroductionConfiguration m_configuration;
    QSize m_size;
    IntroductionView *m_view;
    bool m_isModal = false;
    QPointer<QEventLoop> m_loop;
};

// What the application keeps: runs the introduction when its checker says it is due.
class IntroductionController
{
public:
    IntroductionController(IntroductionConfiguration configuration, IntroductionView::Style style,
                           QSize size);
    ~IntroductionController();

    // The window is built on first use, so a start without the introduction builds none.
    IntroductionWindowController &windowController();
    // Whether the checker says the introduction is due.
    bool isDue() const;
    // Whether the window exists and runs modally now.
    bool isRunningModal() const { return m_windowController && m_windowController->isModal(); }

    // Shows the window (not modally) when due or when forced; returns whether it did.
    bool showIfNeeded(bool force);
    // When due, runs the window modally and returns true once the run has ended; false (and
    // nothing shown) when it is not due.
    bool runModalIfNeeded(bool closeWhenDone);

private:
    IntroductionConfiguration m_configuration;
    IntroductionView::Style m_style;
    QSize m_size;
    QPointer<IntroductionWindowController> m_windowController;
};

} // namespace KivIntroduction
