#include "Tapestrel/ui/switcher/ProfileMenuButton.h"

#include "Tapestrel/model/Profile.h"
#include "Tapestrel/ui/preview/ProfilePreview.h"

#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

constexpr double previewWidth = 180;
constexpr double previewHeight = 101.25;

} // namespace

ProfileMenuButton::ProfileMenuButton(Profile *profile, std::function<void(Profile *)> apply,
                                     std::function<void(Profile *)> edit, QWidget *parent)
    : QWidget(parent)
    , m_profile(profile)
    , m_apply(std::move(apply))
    , m_edit(std::move(edit))
    , m_button(new QPushButton(this))
    , m_preview(new ProfilePreview(profile, previewWidth, previewHeight, m_button))
    , m_name(new QLabel(this))
{
    setObjectName(QStringLiteral("ProfileMenuButton"));
    m_button->setFlat(true);
    m_button->setFixedSize(m_preview->size());
    m_button->setCursor(Qt::PointingHandCursor);
    m_button->setStyleSheet(
        QStringLiteral("QPushButton { border: none; padding: 0; background: transparent; }"));
    m_preview->move(0, 0);
    // Clicks on the picture belong to the button.
    m_preview->setAttribute(Qt::WA_TransparentForMouseEvents);

    QFont font = m_name->font();
    font.setPointSizeF(12);
    font.setBold(true);
    m_name->setFont(font);
    m_name->setAlignment(Qt::AlignCenter);
    // Names come from backups, imports and other computers: shown as typed, never as markup.
    m_name->setTextFormat(Qt::PlainText);
    m_name->setText(profile ? profile->name() : QString());
    updateNameColor();
    if (profile) {
        connect(profile, &Profile::nameChanged, m_name,
                [this] { m_name->setText(m_profile ? m_profile->name() : QString()); });
        connect(profile, &Profile::isEnabledChanged, this, &ProfileMenuButton::updateNameColor);
    }

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->setSpacing(8);
    layout->addWidget(m_button, 0, Qt::AlignHCenter);
    layout->addWidget(m_name);

    // Every click makes its own apply; the tile keeps no mark of it.
    connect(m_button, &QPushButton::clicked, this, [this] {
        if (m_profile && m_apply)
            m_apply(m_profile);
    });
}

void ProfileMenuButton::updateNameColor()
{
    // The name reads as ordinary text; only a disabled profile's name is greyed, as disabled
    // things are.
    const bool enabled = m_profile && m_profile->isEnabled();
    m_name->setForegroundRole(enabled ? QPalette::WindowText : QPalette::PlaceholderText);
}

void ProfileMenuButton::edit()
{
    if (m_profile && m_edit)
        m_edit(m_profile);
}

void ProfileMenuButton::enterEvent(QEnterEvent *)
{
    setHover(true);
}

void ProfileMenuButton::leaveEvent(QEvent *)
{
    setHover(false);
}

void ProfileMenuButton::setHover(bool hover)
{
    if (hover == m_isHover)
        return;
    m_isHover = hover;
    update();
}

void ProfileMenuButton::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu menu(this);
    menu.addAction(tr("Edit"), this, &ProfileMenuButton::edit);
    menu.exec(event->globalPos());
}

void ProfileMenuButton::paintEvent(QPaintEvent *)
{
    if (!m_isHover)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor highlight = palette().color(QPalette::Highlight);
    QColor fill = highlight;
    fill.setAlphaF(0.15);
    QColor border = highlight;
    border.setAlphaF(0.45);
    QPainterPath path;
    path.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 9, 9);
    painter.fillPath(path, fill);
    painter.setPen(QPen(border, 1));
    painter.drawPath(path);
}
