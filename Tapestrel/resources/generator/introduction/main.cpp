// Draws the pictures of the introduction: the main window, the profile switcher and the soft
// background behind the pages. Run make-introduction-pictures.sh to write them again.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cstdio>

namespace {

const QColor accent(0x6b, 0x4f, 0xd8);
const QColor window(0xf6, 0xf5, 0xfa);
const QColor line(0xdd, 0xda, 0xe8);
const QColor ink(0x3a, 0x36, 0x4a);
const QColor muted(0xb9, 0xb4, 0xc9);

// The desktops of the example profiles, as gradients.
const QList<QPair<QColor, QColor>> desktops {
    {QColor(0xff, 0xb3, 0x7a), QColor(0x8e, 0x5b, 0xd9)}, {QColor(0x1d, 0x27, 0x4f), QColor(0x5a, 0x3f, 0x9c)},
    {QColor(0x7f, 0xd8, 0xc3), QColor(0x2e, 0x7d, 0xb8)}, {QColor(0xf6, 0xe0, 0x9a), QColor(0xe0, 0x7a, 0x5f)},
    {QColor(0x2b, 0x2d, 0x33), QColor(0x61, 0x66, 0x73)}, {QColor(0xc9, 0xe8, 0xff), QColor(0x8f, 0xa8, 0xf2)},
};

void roundRect(QPainter &p, const QRectF &r, qreal radius, const QBrush &fill, const QColor &stroke = Qt::transparent)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    p.fillPath(path, fill);
    if (stroke.alpha() > 0) {
        p.setPen(QPen(stroke, 1.5));
        p.drawPath(path);
    }
}

void desktop(QPainter &p, const QRectF &r, int index, qreal radius)
{
    const auto &[from, to] = desktops[index % desktops.size()];
    QLinearGradient gradient(r.topLeft(), r.bottomRight());
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    roundRect(p, r, radius, gradient);
    // A menu bar and a small dock on the miniature desktop.
    roundRect(p, QRectF(r.left(), r.top(), r.width(), r.height() * 0.07), 0, QColor(255, 255, 255, 90));
    roundRect(p, QRectF(r.center().x() - r.width() * 0.22, r.bottom() - r.height() * 0.16, r.width() * 0.44,
                        r.height() * 0.1),
              r.height() * 0.04, QColor(255, 255, 255, 120));
}

void bar(QPainter &p, qreal x, qreal y, qreal w, qreal h, const QColor &color)
{
    roundRect(p, QRectF(x, y, w, h), h / 2, color);
}

QImage editorPicture()
{
    QImage image(1040, 720, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF frame(20, 20, 1000, 680);
    roundRect(p, frame.translated(0, 8), 22, QColor(40, 20, 80, 40));
    roundRect(p, frame, 22, window, line);
    // Sidebar with the profile list, the second profile selected.
    const QRectF side(frame.left(), frame.top(), 280, frame.height());
    QPainterPath sidePath;
    sidePath.addRoundedRect(side, 22, 22);
    p.fillPath(sidePath, QColor(0xee, 0xec, 0xf5));
    for (int i = 0; i < 6; ++i) {
        const qreal y = side.top() + 70 + i * 70;
        if (i == 1)
            roundRect(p, QRectF(side.left() + 14, y - 12, side.width() - 28, 58), 14, QColor(accent.red(), accent.green(), accent.blue(), 50));
        desktop(p, QRectF(side.left() + 28, y, 56, 34), i, 6);
        bar(p, side.left() + 100, y + 6, 120 - (i % 3) * 18, 10, ink);
        bar(p, side.left() + 100, y + 22, 70 + (i % 2) * 20, 8, muted);
    }
    // Editor: tabs, a preview, option rows.
    const qreal left = side.right() + 40;
    const QStringList tabs {"Background", "System", "Apps", "Tools"};
    for (int i = 0; i < tabs.size(); ++i)
        roundRect(p, QRectF(left + i * 160, frame.top() + 40, 146, 36), 18,
                  i == 0 ? QBrush(accent) : QBrush(QColor(0xe4, 0xe1, 0xee)));
    desktop(p, QRectF(left, frame.top() + 110, 420, 236), 1, 14);
    for (int i = 0; i < 6; ++i)
        desktop(p, QRectF(left + 440 + (i % 2) * 110, frame.top() + 110 + (i / 2) * 80, 100, 62), i + 2, 9);
    for (int i = 0; i < 4; ++i) {
        const qreal y = frame.top() + 390 + i * 66;
        bar(p, left, y + 10, 150 + (i % 2) * 40, 12, ink);
        roundRect(p, QRectF(left + 420, y, 230, 34), 10, Qt::white, line);
        bar(p, left + 436, y + 12, 120, 10, muted);
    }
    return image;
}

QImage pickerPicture()
{
    QImage image(640, 760, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF panel(20, 20, 600, 720);
    roundRect(p, panel.translated(0, 8), 28, QColor(40, 20, 80, 40));
    roundRect(p, panel, 28, window, line);
    for (int i = 0; i < 6; ++i) {
        const QRectF tile(panel.left() + 30 + (i % 2) * 280, panel.top() + 30 + (i / 2) * 200, 260, 146);
        if (i == 0)
            roundRect(p, tile.adjusted(-8, -8, 8, 8), 20, QColor(accent.red(), accent.green(), accent.blue(), 60));
        desktop(p, tile, i, 14);
        bar(p, tile.left() + 70, tile.bottom() + 14, 120, 10, ink);
    }
    roundRect(p, QRectF(panel.left() + 30, panel.bottom() - 80, 220, 52), 26, QColor(0xe4, 0xe1, 0xee));
    bar(p, panel.left() + 72, panel.bottom() - 60, 136, 12, ink);
    p.setBrush(accent);
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(panel.right() - 56, panel.bottom() - 54), 26, 26);
    p.setPen(QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(panel.right() - 68, panel.bottom() - 54), QPointF(panel.right() - 44, panel.bottom() - 54));
    p.drawLine(QPointF(panel.right() - 56, panel.bottom() - 66), QPointF(panel.right() - 56, panel.bottom() - 42));
    return image;
}

QImage backgroundPicture()
{
    QImage image(2000, 1200, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient base(0, 0, 2000, 1200);
    base.setColorAt(0, QColor(0xf3, 0xe9, 0xff));
    base.setColorAt(1, QColor(0xdc, 0xe8, 0xff));
    p.fillRect(image.rect(), base);
    const QList<std::tuple<double, double, double, QColor>> glows {
        {0.18, 0.85, 0.45, QColor(0xb3, 0x8c, 0xff)}, {0.78, 0.9, 0.5, QColor(0x7f, 0xc8, 0xff)},
        {0.5, 1.1, 0.4, QColor(0xff, 0xb3, 0xd1)}};
    for (const auto &[x, y, radius, color] : glows) {
        QRadialGradient glow(QPointF(x * 2000, y * 1200), radius * 2000);
        glow.setColorAt(0, color);
        glow.setColorAt(1, QColor(color.red(), color.green(), color.blue(), 0));
        p.fillRect(image.rect(), glow);
    }
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication application(argc, argv);
    if (argc < 2) {
        std::fputs("usage: make-introduction-pictures <folder>\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const bool ok = editorPicture().save(folder + "/editor.png") && pickerPicture().save(folder + "/picker.png")
                    && backgroundPicture().save(folder + "/introduction-background.jpg", "JPG", 85);
    return ok ? 0 : 1;
}
