#pragma once

#include <QString>

class QWidget;

namespace KivIntroduction {

class IntroductionModel;

// One page of the introduction. The page describes itself; the introduction view asks it for its
// widget once per page identity and keeps that widget (and so the page's state) while it lives.
class IntroductionPage
{
public:
    virtual ~IntroductionPage() = default;

    // The identity of the page: navigation finds the current page by it.
    virtual QString id() const = 0;
    // Whether the view shows its bottom bar (progress, Go Back, Continue or Finish) under the page.
    virtual bool showBottomBar() const = 0;
    // Whether navigation may stop on the page; a page answering false is skipped both ways.
    virtual bool isAvailable() const { return true; }
    // True asks the view to drop its window to the normal level while the page is shown.
    virtual bool prefersRegularWindowLevel() const { return false; }
    // Whether the page still waits for an answer without which the introduction may not end (an
    // unanswered licence). Closing the window then gives the page's refusal, decline().
    virtual bool awaitsAnswer() const { return false; }
    virtual void decline() { }

    virtual QWidget *makeView(IntroductionModel &model, QWidget *parent) = 0;
};

} // namespace KivIntroduction
