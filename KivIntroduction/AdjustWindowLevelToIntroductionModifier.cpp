#include "KivIntroduction/AdjustWindowLevelToIntroductionModifier.h"

#include "KivIntroduction/IntroductionView.h"

#include "platform/NotificationCenter.h"

namespace KivIntroduction {

AdjustWindowLevelToIntroductionModifier::AdjustWindowLevelToIntroductionModifier(QWidget *window,
                                                                                 int regularWindowLevel)
    : QObject(window)
    , m_window(window)
    , m_regularWindowLevel(regularWindowLevel)
{
    Platform::NotificationCenter &center = Platform::NotificationCenter::defaultCenter();
    center.observe(IntroductionView::didIncreaseIntroductionWindowLevel, this, [this](const QVariantMap &) {
        IntroductionView::setWindowLevel(m_window, IntroductionView::introductionWindowLevel);
    });
    center.observe(IntroductionView::didDecreaseIntroductionWindowLevel, this, [this](const QVariantMap &) {
        IntroductionView::setWindowLevel(m_window, m_regularWindowLevel);
    });
}

} // namespace KivIntroduction
