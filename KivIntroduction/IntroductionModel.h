#pragma once

#include "KivIntroduction/IntroductionPage.h"
#include "KivIntroduction/ShouldDisplayIntroductionChecker.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <memory>

namespace KivIntroduction {

using PagePointer = std::shared_ptr<IntroductionPage>;

// What an introduction shows and how: its pages in order (at least one), the length of a page
// change, and the checker that says whether it is due.
struct IntroductionConfiguration
{
    QList<PagePointer> pages;
    double transitionDuration = 0.25; // seconds
    std::shared_ptr<ShouldDisplayIntroductionChecker> shouldDisplayIntroductionChecker;
    // Carried along; the introduction window has no close control either way.
    bool isClosable = false;
};

// The state of a running introduction: the current page, the direction of the last move, the
// progress and which navigation buttons may act. A page whose id occurs twice counts at the place
// of its first occurrence.
class IntroductionModel : public QObject
{
    Q_OBJECT

public:
    // The configuration must hold at least one page.
    explicit IntroductionModel(IntroductionConfiguration configuration, QObject *parent = nullptr);

    const IntroductionConfiguration &configuration() const { return m_configuration; }
    const QList<PagePointer> &pages() const { return m_pages; }
    const PagePointer &currentPage() const { return m_currentPage; }
    bool isMovingForward() const { return m_isMovingForward; }
    double progress() const { return m_progress; }
    bool canGoNext() const { return m_canGoNext; }
    bool canFinish() const { return m_canFinish; }
    bool canGoBack() const { return m_canGoBack; }
    bool hasNextStep() const { return m_hasNextStep; }

    // The window the introduction is shown in, held weakly; finish() closes it.
    QWidget *window() const { return m_window; }
    void setWindow(QWidget *window) { m_window = window; }

    bool isMovingForwardLocked() const { return m_isMovingForwardLocked; }
    void setMovingForwardLocked(bool locked);
    bool isMovingBackwardLocked() const { return m_isMovingBackwardLocked; }
    void setMovingBackwardLocked(bool locked);

    // The first available page after the given one, or the nearest available one before it.
    PagePointer nextPage(const PagePointer &page) const;
    PagePointer previousPage(const PagePointer &page) const;

    // Move to the next or previous available page; nothing when there is none. The locks do not
    // stop a direct call: they act through the flags that enable the buttons.
    void next();
    void back();
    // Records that the introduction was shown, then closes the window when it is still there.
    void finish();
    // Someone other than the introduction's buttons asks to close it (the window manager's close
    // button, Alt+F4). While a page awaits its answer the request declines that page (the licence's
    // "Reject"); otherwise it does what "Finish" does, unless a running operation holds moving
    // forward, which it waits for like the buttons do.
    void requestClose();

    void updateNavigationFlags();
    void updateProgress();

signals:
    // Any published field changed.
    void changed();
    void currentPageChanged();

private:
    qsizetype position(const PagePointer &page) const;
    void move(const PagePointer &page, bool forward);

    IntroductionConfiguration m_configuration;
    QList<PagePointer> m_pages;
    PagePointer m_currentPage;
    bool m_isMovingForward = true;
    double m_progress = 0;
    bool m_canGoNext = true;
    bool m_canFinish = false;
    bool m_canGoBack = true;
    bool m_hasNextStep = true;
    QPointer<QWidget> m_window;
    bool m_isMovingForwardLocked = false;
    bool m_isMovingBackwardLocked = false;
};

} // namespace KivIntroduction
