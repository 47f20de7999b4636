#include "KivIntroduction/IntroductionModel.h"

namespace KivIntroduction {

IntroductionModel::IntroductionModel(IntroductionConfiguration configuration, QObject *parent)
    : QObject(parent)
    , m_configuration(std::move(configuration))
    , m_pages(m_configuration.pages)
{
    Q_ASSERT(!m_pages.isEmpty());
    m_currentPage = m_pages.value(0);
    updateNavigationFlags();
}

qsizetype IntroductionModel::position(const PagePointer &page) const
{
    if (!page)
        return -1;
    const QString id = page->id();
    for (qsizetype i = 0; i < m_pages.size(); ++i) {
        if (m_pages[i]->id() == id)
            return i;
    }
    return -1;
}

PagePointer IntroductionModel::nextPage(const PagePointer &page) const
{
    const qsizetype start = position(page);
    if (start < 0)
        return nullptr;
    for (qsizetype i = start + 1; i < m_pages.size(); ++i) {
        if (m_pages[i]->isAvailable())
            return m_pages[i];
    }
    return nullptr;
}

PagePointer IntroductionModel::previousPage(const PagePointer &page) const
{
    const qsizetype start = position(page);
    if (start <= 0)
        return nullptr;
    for (qsizetype i = start - 1; i >= 0; --i) {
        if (m_pages[i]->isAvailable())
            return m_pages[i];
    }
    return nullptr;
}

void IntroductionModel::move(const PagePointer &page, bool forward)
{
    if (!page)
        return;
    m_isMovingForward = forward;
    m_currentPage = page;
    updateProgress();
    updateNavigationFlags();
    emit currentPageChanged();
}

void IntroductionModel::next()
{
    move(nextPage(m_currentPage), true);
}

void IntroductionModel::back()
{
    move(previousPage(m_currentPage), false);
}

void IntroductionModel::finish()
{
    if (m_configuration.shouldDisplayIntroductionChecker)
        m_configuration.shouldDisplayIntroductionChecker->markAsDisplayed();
    if (m_window)
        m_window->close();
}

void IntroductionModel::requestClose()
{
    for (const PagePointer &page : std::as_const(m_pages)) {
        if (page->awaitsAnswer()) {
            page->decline();
            return;
        }
    }
    if (!m_isMovingForwardLocked)
        finish();
}

void IntroductionModel::setMovingForwardLocked(bool locked)
{
    m_isMovingForwardLocked = locked;
    updateNavigationFlags();
}

void IntroductionModel::setMovingBackwardLocked(bool locked)
{
    m_isMovingBackwardLocked = locked;
    updateNavigationFlags();
}

void IntroductionModel::updateNavigationFlags()
{
    const bool hasNext = nextPage(m_currentPage) != nullptr;
    m_canGoNext = !m_isMovingForwardLocked && hasNext;
    m_canFinish = !m_isMovingForwardLocked && !hasNext;
    m_canGoBack = !m_isMovingBackwardLocked && previousPage(m_currentPage) != nullptr;
    m_hasNextStep = hasNext;
    emit changed();
}

void IntroductionModel::updateProgress()
{
    if (m_pages.isEmpty()) {
        m_progress = 0;
    } else {
        const qsizetype at = position(m_currentPage);
        m_progress = double((at < 0 ? 0 : at) + 1) / double(m_pages.size());
    }
    emit changed();
}

} // namespace KivIntroduction
