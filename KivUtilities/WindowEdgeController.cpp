#include "KivUtilities/WindowEdgeController.h"

#include "KivUtilities/ScreenGeometry.h"

#include <QPropertyAnimation>
#include <QScreen>

#include <cmath>

namespace KivUtilities {

WindowEdgeController::WindowEdgeController(QWidget *window)
    : m_window(window)
{ }

bool WindowEdgeController::isAtEdge(Edge edge, const QRectF &w, const QRectF &v, const QRectF &s, double t)
{
    switch (edge) {
    case Edge::Top:
        return std::abs((w.y() + w.height()) - (v.y() + v.height())) <= t + 1;
    case Edge::Right:
        return std::abs(((w.x() + w.width()) - s.x()) - s.width()) <= t;
    case Edge::Bottom:
        return std::abs(w.y() - v.y()) <= t;
    case Edge::Left:
        return std::abs(w.x() - v.x()) <= t;
    }
    return false;
}

QPointF WindowEdgeController::movedOrigin(const QList<Edge> &edges, const QRectF &w, const QRectF &v,
                                          double m)
{
    QPointF origin(w.x(), w.y());
    if (edges.contains(Edge::Top))
        origin.setY((v.y() + v.height()) - w.height() - m);
    if (edges.contains(Edge::Right))
        origin.setX((v.x() + v.width()) - w.width() - m);
    if (edges.contains(Edge::Bottom))
        origin.setY(v.y() + m);
    if (edges.contains(Edge::Left))
        origin.setX(v.x() + m);
    return origin;
}

std::optional<WindowEdgeController::Frames> WindowEdgeController::frames() const
{
    if (!m_window)
        return std::nullopt;
    const QScreen *screen = m_window->screen();
    if (!screen)
        return std::nullopt;
    return Frames {ScreenGeometry::frame(m_window.data()), ScreenGeometry::visibleFrame(screen),
                   ScreenGeometry::frame(screen)};
}

bool WindowEdgeController::isAtEdge(Edge edge, double tolerance) const
{
    const auto f = frames();
    return f && isAtEdge(edge, f->window, f->visible, f->screen, tolerance);
}

bool WindowEdgeController::isAtAnyEdge(double tolerance) const
{
    for (Edge edge : allEdges) {
        if (isAtEdge(edge, tolerance))
            return true;
    }
    return false;
}

void WindowEdgeController::snapToNearEdges(double tolerance, double margin)
{
    QList<Edge> near;
    for (Edge edge : allEdges) {
        if (isAtEdge(edge, tolerance))
            near.append(edge);
    }
    moveTo(near, margin);
}

void WindowEdgeController::moveTo(const QList<Edge> &edges, double margin)
{
    const auto f = frames();
    if (!f)
        return;
    const QPointF origin = movedOrigin(edges, f->window, f->visible, margin);
    const QRectF target(origin, f->window.size());
    // Animate the outer frame's top-left corner in Qt coordinates; the size stays.
    const QPoint to = ScreenGeometry::toQt(target).topLeft().toPoint();
    auto *animation = new QPropertyAnimation(m_window.data(), "pos", m_window.data());
    animation->setDuration(moveAnimationMs);
    animation->setStartValue(m_window->pos());
    animation->setEndValue(to);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    animation->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace KivUtilities
