#include "KivIntroduction/IntroductionView.h"

#include "KivIntroduction/IntroductionBlocks.h"

#include "platform/NotificationCenter.h"

#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLayout>
#include <QPainter>
#include <QPainterPath>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <initializer_list>

namespace KivIntroduction {

namespace {

// The page area: clips its pages to the style's rounded rectangle and lays out the current page
// over its whole area (pages slide in and out during a change).
class PageArea : public QWidget
{
public:
    PageArea(int cornerRadius, QWidget *parent)
        : QWidget(parent)
        , m_cornerRadius(cornerRadius)
    {
        setObjectName(QStringLiteral("IntroductionPageArea"));
    }

protected:
    void resizeEvent(QResizeEvent *) override
    {
        for (QObject *child : children()) {
            if (auto *widget = qobject_cast<QWidget *>(child); widget && widget->isVisible())
                widget->setGeometry(rect());
        }
        if (m_cornerRadius > 0) {
            QPainterPath path;
            path.addRoundedRect(rect(), m_cornerRadius, m_cornerRadius);
            setMask(QRegion(path.toFillPolygon().toPolygon()));
        }
    }

private:
    int m_cornerRadius;
};

// Holds a page: the page gets the whole room where it fits, shrinking what can shrink, and scrolls
// only where the room is smaller than the page can become (a small screen, a large scale), so that
// none of its buttons is out of reach.
class PageFrame : public QScrollArea
{
public:
    PageFrame(QWidget *parent)
        : QScrollArea(parent)
    {
        setFrameShape(QFrame::NoFrame);
        viewport()->setAutoFillBackground(false);
    }

    void setPage(QWidget *page)
    {
        // setWidget() would fill the page with the window colour, over the introduction's background.
        const bool filled = page->autoFillBackground();
        setWidget(page);
        page->setAutoFillBackground(filled);
    }

protected:
    bool viewportEvent(QEvent *event) override
    {
        if (event->type() == QEvent::Resize)
            fitPage();
        return QScrollArea::viewportEvent(event);
    }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        // Texts and buttons that appear on the page can make it need more room.
        if (watched == widget() && event->type() == QEvent::LayoutRequest)
            fitPage();
        return QScrollArea::eventFilter(watched, event);
    }

private:
    void fitPage()
    {
        QWidget *page = widget();
        if (!page)
            return;
        const QSize room = viewport()->size();
        const int width = std::max(room.width(), page->minimumSizeHint().width());
        const QLayout *layout = page->layout();
        const int height = layout && layout->hasHeightForWidth() ? layout->totalMinimumHeightForWidth(width)
                                                                 : page->minimumSizeHint().height();
        page->resize(width, std::max(room.height(), height));
    }
};

} // namespace

QWidget *IntroductionView::Style::defaultBackground(QWidget *parent)
{
    auto *background = new QWidget(parent);
    background->setObjectName(QStringLiteral("IntroductionDefaultBackground"));
    background->setAutoFillBackground(true);
    return background;
}

IntroductionView::Style
IntroductionView::Style::standard(std::function<QWidget *(QWidget *)> backgroundBuilder)
{
    return Style {0, QMargins(), true, std::move(backgroundBuilder)};
}

IntroductionView::Style IntroductionView::Style::inset(std::function<QWidget *(QWidget *)> backgroundBuilder)
{
    return Style {9, QMargins(8, 8, 8, 8), false, std::move(backgroundBuilder)};
}

void IntroductionView::setWindowLevel(QWidget *window, int level)
{
    if (!window)
        return;
    const bool above = level > 0;
    if (bool(window->windowFlags() & Qt::WindowStaysOnTopHint) == above)
        return;
    const bool visible = window->isVisible();
    window->setWindowFlag(Qt::WindowStaysOnTopHint, above);
    if (visible)
        window->show();
}

int IntroductionView::windowLevel(const QWidget *window)
{
    return window && (window->windowFlags() & Qt::WindowStaysOnTopHint) ? introductionWindowLevel : 0;
}

IntroductionView::IntroductionView(IntroductionConfiguration configuration, Style style, QWidget *parent)
    : QWidget(parent)
    , m_model(new IntroductionModel(std::move(configuration), this))
    , m_style(std::move(style))
    , m_pageArea(new PageArea(m_style.contentCornerRadius, this))
    , m_divider(new QFrame(this))
    , m_bottomBar(new QWidget(this))
    , m_progress(new ProgressRing(m_bottomBar))
{
    setObjectName(QStringLiteral("IntroductionView"));
    if (m_style.backgroundBuilder) {
        m_background = m_style.backgroundBuilder(this);
        if (m_background)
            m_background->lower();
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(m_style.contentPadding);
    layout->setSpacing(0);
    layout->addWidget(m_pageArea, 1);
    m_divider->setFrameShape(QFrame::HLine);
    m_divider->setFrameShadow(QFrame::Sunken);
    m_divider->setObjectName(QStringLiteral("IntroductionBottomBarDivider"));
    layout->addWidget(m_divider);

    m_bottomBar->setObjectName(QStringLiteral("IntroductionBottomBar"));
    auto *bar = new QHBoxLayout(m_bottomBar);
    bar->addWidget(m_progress);
    bar->addStretch();
    bar->addWidget(IntroductionButtons::goBackButton(*m_model, m_bottomBar));
    m_continue = IntroductionButtons::continueButton(*m_model, m_bottomBar);
    m_finish = IntroductionButtons::finishButton(*m_model, m_bottomBar);
    bar->addWidget(m_continue);
    bar->addWidget(m_finish);
    bar->addStretch();
    layout->addWidget(m_bottomBar);

    connect(m_model, &IntroductionModel::changed, this, &IntroductionView::updateBottomBar);
    connect(m_model, &IntroductionModel::currentPageChanged, this, &IntroductionView::pageChanged);
    m_regularLevel = m_model->currentPage()->prefersRegularWindowLevel();
    m_shown = viewFor(m_model->currentPage());
    m_shown->show();
    updateBottomBar();
    focusPage();
}

QWidget *IntroductionView::currentPageView() const
{
    return m_shown ? m_shown->widget() : nullptr;
}

QScrollArea *IntroductionView::viewFor(const PagePointer &page)
{
    // One view per page identity, kept while the introduction lives, so a page keeps its state.
    QPointer<QScrollArea> &frame = m_pageViews[page->id()];
    if (!frame) {
        auto *pageFrame = new PageFrame(m_pageArea);
        QWidget *view = page->makeView(*m_model, pageFrame);
        view->setProperty("pageId", page->id());
        pageFrame->setPage(view);
        pageFrame->hide();
        frame = pageFrame;
    }
    return frame;
}

void IntroductionView::updateBottomBar()
{
    const PagePointer &page = m_model->currentPage();
    const bool bar = page->showBottomBar();
    m_bottomBar->setVisible(bar);
    m_divider->setVisible(bar && m_style.canShowBottomBarDivider);
    m_progress->setValue(m_model->progress());
    m_continue->setVisible(m_model->hasNextStep());
    m_finish->setVisible(!m_model->hasNextStep());
    m_finish->setEnabled(m_model->canFinish());
}

void IntroductionView::focusPage()
{
    QWidget *page = currentPageView();
    if (!page)
        return;
    const auto leadsOn = [this](QPushButton *button) {
        return (button->objectName() == QLatin1String("ContinueButton")
                || button->objectName() == QLatin1String("FinishButton"))
            && button->isVisibleTo(this) && button->isEnabled();
    };
    QList<QPushButton *> candidates = page->findChildren<QPushButton *>();
    candidates << m_continue << m_finish;
    const auto found = std::find_if(candidates.cbegin(), candidates.cend(), leadsOn);
    QWidget *target = found != candidates.cend() ? *found : page;
    target->setFocus(Qt::OtherFocusReason);
}

void IntroductionView::hidePagesBut(std::initializer_list<const QWidget *> kept)
{
    for (const QPointer<QScrollArea> &frame : std::as_const(m_pageViews)) {
        if (frame && std::find(kept.begin(), kept.end(), frame.data()) == kept.end())
            frame->hide();
    }
}

void IntroductionView::pageChanged()
{
    QScrollArea *incoming = viewFor(m_model->currentPage());
    QScrollArea *outgoing = m_shown;
    m_shown = incoming;
    if (incoming != outgoing) {
        // A move made while the last one still slides ends that one where it is: only the pages of
        // this move stay shown, or a page left half out would keep buttons that Tab still reaches.
        if (m_transition)
            m_transition->stop();
        hidePagesBut({incoming, outgoing});
        const int width = m_pageArea->width();
        const int sign = m_model->isMovingForward() ? 1 : -1;
        const int duration = int(m_model->configuration().transitionDuration * 1000);
        incoming->setGeometry(m_pageArea->rect().translated(sign * width, 0));
        incoming->show();
        incoming->raise();
        if (outgoing && duration > 0 && isVisible()) {
            auto *group = new QParallelAnimationGroup(this);
            const std::pair<QWidget *, QPoint> moves[] = {{incoming, QPoint(0, 0)},
                                                          {outgoing, QPoint(-sign * width, 0)}};
            for (const auto &[widget, to] : moves) {
                auto *animation = new QPropertyAnimation(widget, "pos", group);
                animation->setDuration(duration);
                animation->setEndValue(to);
                animation->setEasingCurve(QEasingCurve::InOutQuad);
            }
            connect(group, &QAbstractAnimation::finished, this, [this] { hidePagesBut({m_shown}); });
            m_transition = group;
            group->start(QAbstractAnimation::DeleteWhenStopped);
        } else {
            incoming->setGeometry(m_pageArea->rect());
            hidePagesBut({incoming});
        }
    }

    focusPage();

    // The window level follows the page's wish, on changes only.
    const bool regular = m_model->currentPage()->prefersRegularWindowLevel();
    if (regular != m_regularLevel) {
        m_regularLevel = regular;
        setWindowLevel(m_model->window(), regular ? 0 : introductionWindowLevel);
        Platform::NotificationCenter::defaultCenter().post(regular ? didDecreaseIntroductionWindowLevel
                                                                   : didIncreaseIntroductionWindowLevel);
    }
}

void IntroductionView::placePages()
{
    if (m_background)
        m_background->setGeometry(rect());
    if (m_shown)
        m_shown->setGeometry(m_pageArea->rect());
}

void IntroductionView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    placePages();
}

void IntroductionView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_model->window())
        m_model->setWindow(window());
    placePages();
    focusPage();
}

ProgressRing::ProgressRing(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("IntroductionProgress"));
    setFixedSize(20, 20);
}

void ProgressRing::setValue(double value)
{
    m_value = qBound(0.0, value, 1.0);
    update();
}

void ProgressRing::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF ring = QRectF(rect()).adjusted(2.5, 2.5, -2.5, -2.5);
    QColor track = palette().color(QPalette::WindowText);
    track.setAlpha(50);
    painter.setPen(QPen(track, 3));
    painter.drawEllipse(ring);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 3, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(ring, 90 * 16, -int(m_value * 360 * 16));
}

} // namespace KivIntroduction
