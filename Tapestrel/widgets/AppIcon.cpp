#include "Tapestrel/widgets/AppIcon.h"

#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "Tapestrel/model/AppConfig.h"
#include "Tapestrel/system/IconFinder.h"

#include <QPixmap>

AppIcon::AppIcon(const AppConfig *app, int size, QWidget *parent)
    : QLabel(parent)
    , m_app(app)
    , m_size(size)
{
    setObjectName(QStringLiteral("AppIcon"));
    setAlignment(Qt::AlignCenter);
    setFixedSize(size, size);
    refresh();
}

void AppIcon::reload()
{
    const int generation = ++m_generation;
    // The edition is chosen here, on the main thread; the record is not needed after that.
    const QString bundleIdentifier = m_app ? m_app->currentBundleID().value_or(QString()) : QString();
    // As many pixels as the screen shows the icon in, so that it is sharp at any scale.
    KivUtilities::detached(
        load(QPointer<AppIcon>(this), bundleIdentifier, qRound(m_size * devicePixelRatio()), generation),
        "Loading an application icon");
}

QCoro::Task<void> AppIcon::load(QPointer<AppIcon> view, QString bundleIdentifier, int size, int generation)
{
    std::optional<QImage> icon = co_await IconFinder::icon(bundleIdentifier, size);
    if (view)
        view->setIcon(std::move(icon), generation);
}

void AppIcon::showEvent(QShowEvent *event)
{
    QLabel::showEvent(event);
    reload();
}

void AppIcon::setIcon(std::optional<QImage> icon, int generation)
{
    if (generation != m_generation)
        return;
    m_icon = std::move(icon);
    refresh();
    emit iconLoaded();
}

void AppIcon::refresh()
{
    if (m_icon) {
        KivUtilities::Symbols::apply(this, QString());
        QPixmap picture = QPixmap::fromImage(*m_icon);
        picture.setDevicePixelRatio(qreal(picture.width()) / m_size);
        setPixmap(picture);
    } else {
        KivUtilities::Symbols::apply(this, fallbackSymbol, m_size);
    }
}
