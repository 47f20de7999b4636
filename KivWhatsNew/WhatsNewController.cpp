#include "KivWhatsNew/WhatsNewController.h"

#include "KivUtilities/WindowTranslucency.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

namespace KivWhatsNew {

WhatsNewWindowController::WhatsNewWindowController(const Release &release, const ReleaseStore *store,
                                                   WhatsNewSettingsStore *settingsStore,
                                                   const WhatsNewView::Config &config)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowStaysOnTopHint)
    , m_view(new WhatsNewView(release, config, store, settingsStore, this))
{
    setObjectName(QStringLiteral("WhatsNewWindow"));
    setAttribute(Qt::WA_DeleteOnClose);
    // The page's own title names the window in a task bar.
    setWindowTitle(WhatsNewView::titleText);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_view);
}

void WhatsNewWindowController::centre()
{
    adjustSize();
    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

void WhatsNewWindowController::showFaded()
{
    centre();
    // Where opacity cannot change, the window shows at once and is centred again in view.
    const bool fades = KivUtilities::WindowTranslucency::canChangeOpacity();
    if (fades)
        setWindowOpacity(0);
    show();
    QPointer<WhatsNewWindowController> self(this);
    QTimer::singleShot(100, this, [self, fades] {
        if (!self)
            return;
        self->centre();
        if (fades)
            self->setWindowOpacity(1);
    });
}

WhatsNewController::WhatsNewController(std::unique_ptr<ReleaseStore> releaseStore,
                                       KivUtilities::UpdateDetector &updateDetector,
                                       std::unique_ptr<WhatsNewSettingsStore> settingsStore,
                                       WhatsNewView::Config viewConfig, QObject *parent)
    : QObject(parent)
    , m_releaseStore(std::move(releaseStore))
    , m_updateDetector(updateDetector)
    , m_settingsStore(std::move(settingsStore))
    , m_viewConfig(std::move(viewConfig))
    , m_releaseFinder(std::make_unique<ReleaseFinder>(m_updateDetector, *m_releaseStore, *m_settingsStore))
{ }

std::unique_ptr<WhatsNewController>
WhatsNewController::fromFile(const QString &fileName, KivUtilities::UpdateDetector &updateDetector,
                             std::unique_ptr<WhatsNewSettingsStore> settingsStore,
                             WhatsNewView::Config viewConfig, const QString &folder)
{
    const QString name = fileName + QStringLiteral(".json");
    QFile file(QDir(folder).filePath(name));
    if (!file.exists())
        qFatal("File %s could not be found!", qPrintable(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("File %s could not be read", qPrintable(name));
    QList<Release> releases;
    try {
        releases = ReleaseStore::releasesFromJson(file.readAll());
    } catch (const std::exception &error) {
        qFatal("File %s could not be decoded. Error: %s", qPrintable(name), error.what());
    }
    return std::make_unique<WhatsNewController>(std::make_unique<ReleaseStore>(std::move(releases)),
                                                updateDetector, std::move(settingsStore),
                                                std::move(viewConfig));
}

void WhatsNewController::showIfNeeded()
{
    const std::optional<Release> release = m_releaseFinder->releaseToDisplay();
    if (!release)
        return;
    QTimer::singleShot(0, this, [this, release = *release] { showWhenNoModalWindow(release); });
}

void WhatsNewController::showWhenNoModalWindow(const Release &release)
{
    // The notes never open over a modal session (the introduction at first start): they wait
    // until it has ended.
    if (QGuiApplication::modalWindow()) {
        QTimer::singleShot(250, this, [this, release] { showWhenNoModalWindow(release); });
        return;
    }
    show(release);
}

void WhatsNewController::show(const Release &release)
{
    m_window =
        new WhatsNewWindowController(release, m_releaseStore.get(), m_settingsStore.get(), m_viewConfig);
    m_window->showFaded();
    emit windowShown(m_window);
}

void WhatsNewController::showLatestRelease()
{
    if (!m_releaseStore->releases.isEmpty())
        show(m_releaseStore->releases.last());
}

} // namespace KivWhatsNew
