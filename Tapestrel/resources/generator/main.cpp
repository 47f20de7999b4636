// Draws the shipped desktop pictures: gradients, soft hills and glowing discs. Run make-pictures.sh
// to write them into the resources folder again.
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <cmath>
#include <cstdio>

namespace {

constexpr int width = 2560;
constexpr int height = 1600;

struct Hill
{
    double base;      // height of the middle line, 0 (top) ... 1 (bottom)
    double amplitude; // of the waves, as a part of the height
    double frequency; // waves across the picture
    double phase;
    QColor color;
};

struct Glow
{
    double x, y, radius; // parts of the width / height / width
    QColor color;
};

struct Picture
{
    const char *name;
    QColor top, bottom;
    QList<Glow> glows;
    QList<Hill> hills;
};

void drawHill(QPainter &painter, const Hill &hill)
{
    QPainterPath path;
    path.moveTo(0, height);
    for (int x = 0; x <= width; x += 8) {
        const double t = double(x) / width;
        const double y = hill.base + hill.amplitude * std::sin(2 * M_PI * (hill.frequency * t + hill.phase))
                         + 0.35 * hill.amplitude * std::sin(2 * M_PI * (2.7 * hill.frequency * t + hill.phase * 1.9));
        path.lineTo(x, y * height);
    }
    path.lineTo(width, height);
    path.closeSubpath();
    QLinearGradient shade(0, (hill.base - hill.amplitude) * height, 0, height);
    shade.setColorAt(0, hill.color);
    shade.setColorAt(1, hill.color.darker(135));
    painter.fillPath(path, shade);
}

void drawGlow(QPainter &painter, const Glow &glow)
{
    const QPointF centre(glow.x * width, glow.y * height);
    const double radius = glow.radius * width;
    QRadialGradient light(centre, radius);
    QColor clear = glow.color;
    clear.setAlpha(0);
    light.setColorAt(0, glow.color);
    light.setColorAt(0.35, QColor(glow.color.red(), glow.color.green(), glow.color.blue(), glow.color.alpha() / 2));
    light.setColorAt(1, clear);
    painter.setPen(Qt::NoPen);
    painter.setBrush(light);
    painter.drawEllipse(centre, radius, radius);
}

QImage draw(const Picture &picture)
{
    QImage image(width, height, QImage::Format_RGB32);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, picture.top);
    sky.setColorAt(1, picture.bottom);
    painter.fillRect(image.rect(), sky);
    for (const Glow &glow : picture.glows)
        drawGlow(painter, glow);
    for (const Hill &hill : picture.hills)
        drawHill(painter, hill);
    return image;
}

} // namespace

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT-FOLDER\n", argv[0]);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const QList<Picture> pictures = {
        {"tapestrel1", QColor("#ffd6b8"), QColor("#c9b6e8"),
         {{0.72, 0.30, 0.22, QColor(255, 244, 214, 220)}},
         {{0.70, 0.05, 1.1, 0.10, QColor("#b79ad6")}, {0.80, 0.04, 1.7, 0.45, QColor("#9c7fc4")},
          {0.90, 0.03, 2.3, 0.80, QColor("#7d62a8")}}},
        {"tapestrel2", QColor("#7fd3d1"), QColor("#17436b"),
         {{0.25, 0.22, 0.18, QColor(220, 255, 250, 160)}},
         {{0.62, 0.04, 2.0, 0.00, QColor("#2f8fa3")}, {0.74, 0.035, 2.8, 0.30, QColor("#1f6d8c")},
          {0.86, 0.03, 3.6, 0.65, QColor("#124a6e")}}},
        {"tapestrel3", QColor("#e8f5c8"), QColor("#a7d08c"),
         {{0.80, 0.18, 0.20, QColor(255, 252, 220, 200)}},
         {{0.60, 0.06, 0.9, 0.20, QColor("#8cc47a")}, {0.72, 0.05, 1.4, 0.55, QColor("#5fa65e")},
          {0.86, 0.04, 2.1, 0.90, QColor("#3b7f4a")}}},
        {"tapestrel4", QColor("#3b2a6b"), QColor("#f59e6c"),
         {{0.50, 0.62, 0.25, QColor(255, 200, 140, 210)}},
         {{0.66, 0.07, 1.2, 0.15, QColor("#8a4f7d")}, {0.77, 0.05, 1.9, 0.40, QColor("#5e3566")},
          {0.89, 0.04, 2.6, 0.75, QColor("#361f45")}}},
        {"tapestrel5", QColor("#f6f3ee"), QColor("#e4ddd2"),
         {{0.20, 0.25, 0.16, QColor(255, 255, 255, 200)}, {0.85, 0.70, 0.20, QColor(240, 214, 190, 140)}},
         {{0.78, 0.03, 1.3, 0.35, QColor("#d9cfc1")}, {0.88, 0.025, 2.0, 0.70, QColor("#cbbfae")}}},
        {"tapestrel6", QColor("#2a0d12"), QColor("#8f2d1c"),
         {{0.50, 0.95, 0.40, QColor(255, 130, 60, 200)}, {0.15, 0.20, 0.10, QColor(255, 180, 120, 90)}},
         {{0.80, 0.04, 1.6, 0.25, QColor("#5a1a14")}, {0.90, 0.03, 2.4, 0.60, QColor("#35100e")}}},
        {"tapestrel7", QColor("#060b1f"), QColor("#102a43"),
         {{0.30, 0.25, 0.30, QColor(80, 230, 170, 120)}, {0.70, 0.18, 0.26, QColor(120, 120, 255, 100)}},
         {{0.76, 0.05, 1.0, 0.10, QColor("#0e2238")}, {0.87, 0.04, 1.8, 0.50, QColor("#08162a")}}},
        {"tapestrel-dark", QColor("#111318"), QColor("#1f2530"),
         {{0.78, 0.22, 0.22, QColor(90, 110, 150, 90)}},
         {{0.74, 0.04, 1.2, 0.30, QColor("#1a1f29")}, {0.86, 0.03, 2.0, 0.65, QColor("#14181f")}}},
    };
    for (const Picture &picture : pictures) {
        const QString path = folder + QLatin1Char('/') + QLatin1String(picture.name) + QLatin1String(".jpg");
        if (!draw(picture).save(path, "JPEG", 82)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}
