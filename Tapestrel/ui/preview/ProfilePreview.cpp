#include "Tapestrel/ui/preview/ProfilePreview.h"

#include "Tapestrel/background/BackgroundView.h"
#include "Tapestrel/background/ProfileBackground.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"

#include <QPainter>
#include <QPainterPath>
#include <QtMath>

namespace {

QPainterPath roundedRect(const QRectF &rect, double radius)
{
    QPainterPath path;
    path.addRoundedRect(rect, radius, radius);
    return path;
}

// Fills a rounded rectangle and strokes its inner edge one point wide.
void drawPanel(QPainter &painter, const QRectF &rect, double radius, const QColor &fill,
               const std::optional<QColor> &border)
{
    painter.fillPath(roundedRect(rect, radius), fill);
    if (border) {
        painter.setPen(QPen(*border, 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(roundedRect(rect.adjusted(0.5, 0.5, -0.5, -0.5), qMax(0.0, radius - 0.5)));
    }
}

// A filled folder: a tab on the upper left over a wider body, inside the icon's square.
void drawFolder(QPainter &painter, const QRectF &box, const QColor &color)
{
    const double w = box.width();
    const double h = box.height();
    const QRectF body(box.left(), box.top() + h * 0.28, w, h * 0.6);
    const QRectF tab(box.left(), box.top() + h * 0.16, w * 0.45, h * 0.2);
    QPainterPath path = roundedRect(body, w * 0.1).united(roundedRect(tab, w * 0.08));
    painter.fillPath(path, color);
}

} // namespace

// Paints the elements over the background view and the frame's edge above everything.
class ProfilePreview::Elements : public QWidget
{
public:
    explicit Elements(ProfilePreview *preview)
        : QWidget(preview)
        , m_preview(preview)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        const ProfilePreviewLayout &layout = m_preview->m_layout;
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const QRectF frame(QPointF(0, 0), layout.size);
        painter.setClipPath(roundedRect(frame, ProfilePreviewLayout::cornerRadius));

        if (layout.menuBar)
            painter.fillRect(*layout.menuBar, layout.elementColor);
        if (layout.dock)
            drawPanel(painter, *layout.dock, ProfilePreviewLayout::dockCornerRadius, layout.elementColor,
                      layout.elementBorderColor);
        for (const QRectF &widget : layout.widgets)
            drawPanel(painter, widget, ProfilePreviewLayout::widgetCornerRadius, layout.widgetColor,
                      std::nullopt);
        for (const QRectF &icon : layout.icons)
            drawFolder(painter, icon, layout.iconColor);
        if (layout.stageManager) {
            for (const QRectF &thumbnail : layout.stageManager->thumbnails) {
                painter.save();
                QTransform turn;
                turn.translate(thumbnail.right(), thumbnail.top());
                turn.rotate(layout.stageManager->tilt, Qt::YAxis);
                turn.translate(-thumbnail.right(), -thumbnail.top());
                painter.setTransform(turn, true);
                drawPanel(painter, thumbnail, ProfilePreviewLayout::thumbnailCornerRadius,
                          layout.elementColor, layout.elementBorderColor);
                painter.restore();
            }
        }

        painter.setClipping(false);
        painter.setPen(QPen(QColor(0, 0, 0, 51), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(
            roundedRect(frame.adjusted(0.5, 0.5, -0.5, -0.5), ProfilePreviewLayout::cornerRadius - 0.5));
    }

private:
    ProfilePreview *m_preview;
};

ProfilePreview::ProfilePreview(Profile *profile, double width, double height, QWidget *parent)
    : QWidget(parent)
    , m_profile(profile)
    , m_size(width, height)
    , m_backgroundView(new BackgroundView(width, this))
    , m_elements(new Elements(this))
{
    setObjectName(QStringLiteral("ProfilePreview"));
    setFixedSize(sizeHint());
    m_backgroundView->setCornerRadius(ProfilePreviewLayout::cornerRadius);
    if (profile) {
        connect(profile, &Profile::optionsChanged, this, [this] {
            observeOptions();
            refresh();
        });
        observeOptions();
    }
    refresh();
}

ProfilePreview::~ProfilePreview() = default;

QSize ProfilePreview::sizeHint() const
{
    return QSize(qCeil(m_size.width()), qCeil(m_size.height()));
}

void ProfilePreview::resizeEvent(QResizeEvent *)
{
    m_backgroundView->setGeometry(QRect(QPoint(0, 0), sizeHint()));
    m_elements->setGeometry(rect());
}

void ProfilePreview::observeOptions()
{
    for (const auto &connection : std::as_const(m_optionConnections))
        disconnect(connection);
    m_optionConnections.clear();
    if (!m_profile)
        return;
    for (Option *option : m_profile->options()) {
        m_optionConnections.append(connect(option, &Option::keyChanged, this, &ProfilePreview::refresh));
        m_optionConnections.append(connect(option, &Option::valueChanged, this, &ProfilePreview::refresh));
    }
}

void ProfilePreview::refresh()
{
    const Profile empty;
    const Profile &profile = m_profile ? *m_profile : empty;
    m_layout = ProfilePreviewLayout::make(ProfilePreviewValues::read(profile), m_size);
    m_backgroundView->setBackground(profileBackground(profile));
    m_elements->update();
}
