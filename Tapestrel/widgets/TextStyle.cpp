#include "Tapestrel/widgets/TextStyle.h"

#include <QApplication>
#include <QEvent>
#include <QPalette>

#include <algorithm>

namespace TextStyle {

namespace {

const char *const levelProperty = "textStyleLevel";

// The text colour the widget would have, dimmed for the level.
void dim(QWidget *widget, Level level)
{
    const QWidget *parent = widget->parentWidget();
    QColor color = (parent ? parent->palette() : QApplication::palette(widget)).color(QPalette::WindowText);
    color.setAlphaF(level == Level::secondary ? 0.6 : 0.35);
    QPalette palette = widget->palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget->setPalette(palette);
}

// Dims a styled widget's text anew when the palette around it changes (the desktop turned dark or
// light) or it is moved into another widget: a colour set once would stay that of the palette before.
class Follower : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ParentChange) {
            auto *widget = static_cast<QWidget *>(watched);
            dim(widget, Level(widget->property(levelProperty).toInt()));
        }
        return false;
    }
};

} // namespace

void apply(QWidget *widget, Level level)
{
    static auto *follower = new Follower;
    widget->setProperty(levelProperty, int(level));
    widget->removeEventFilter(follower);
    widget->installEventFilter(follower);
    dim(widget, level);
}

void makeCaption(QWidget *widget)
{
    QFont font = widget->font();
    if (font.pointSizeF() > 0)
        font.setPointSizeF(font.pointSizeF() * 0.85);
    else
        font.setPixelSize(std::max(1, font.pixelSize() * 85 / 100));
    widget->setFont(font);
}

} // namespace TextStyle
