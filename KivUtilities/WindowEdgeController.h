#pragma once

#include <QList>
#include <QPointF>
#include <QPointer>
#include <QRectF>
#include <QWidget>

#include <optional>

namespace KivUtilities {

// Keeps a window against the edges of the screen it is on: tells whether it touches an edge (within
// a tolerance), moves it against chosen edges with a margin, or snaps it to the edges it is near.
// Geometry is in screen coordinates with the origin at the bottom left (ScreenGeometry). The window
// is held weakly: once it is gone every test gives false and every move does nothing.
class WindowEdgeController
{
public:
    enum class Edge { Top, Right, Bottom, Left };
    static constexpr Edge allEdges[] = {Edge::Top, Edge::Right, Edge::Bottom, Edge::Left};
    static constexpr int moveAnimationMs = 200;

    explicit WindowEdgeController(QWidget *window);

    QWidget *window() const { return m_window; }

    bool isAtEdge(Edge edge, double tolerance = 0) const;
    void moveTo(const QList<Edge> &edges, double margin);
    void snapToNearEdges(double tolerance, double margin);
    bool isAtAnyEdge(double tolerance) const;

    // The rules themselves, over a window frame w, the screen's visible frame v and its frame s.
    // The right edge is measured against the full frame, the others against the visible frame;
    // the top edge allows one point more than the tolerance.
    static bool isAtEdge(Edge edge, const QRectF &w, const QRectF &v, const QRectF &s, double tolerance);
    // The window's new origin: later edges in the order top, right, bottom, left win.
    static QPointF movedOrigin(const QList<Edge> &edges, const QRectF &w, const QRectF &v, double margin);

private:
    struct Frames
    {
        QRectF window;
        QRectF visible;
        QRectF screen;
    };
    std::optional<Frames> frames() const;

    QPointer<QWidget> m_window;
};

} // namespace KivUtilities
