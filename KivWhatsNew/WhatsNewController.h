#pragma once

#include "KivWhatsNew/ReleaseFinder.h"
#include "KivWhatsNew/WhatsNewView.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace KivWhatsNew {

// The window that hosts one WhatsNewView: centred, above ordinary windows, without window
// buttons; "Continue" is the way out. It deletes itself when closed.
class WhatsNewWindowController : public QWidget
{
    Q_OBJECT

public:
    WhatsNewWindowController(const Release &release, const ReleaseStore *store,
                             WhatsNewSettingsStore *settingsStore, const WhatsNewView::Config &config);

    WhatsNewView *view() const { return m_view; }
    // Shows the window transparent, then 0.1 s later centred again and opaque, so that it appears
    // once it has its size.
    void showFaded();

private:
    void centre();

    WhatsNewView *m_view;
};

// Shows the release notes: once after an update to the version of the newest release, and the
// newest release whenever asked.
class WhatsNewController : public QObject
{
    Q_OBJECT

public:
    WhatsNewController(std::unique_ptr<ReleaseStore> releaseStore,
                       KivUtilities::UpdateDetector &updateDetector,
                       std::unique_ptr<WhatsNewSettingsStore> settingsStore, WhatsNewView::Config viewConfig,
                       QObject *parent = nullptr);
    // Loads the releases from the file "<name>.json" in the folder (a resource folder such as ":/"
    // by default). A missing, unreadable or undecodable file stops the program with its message.
    static std::unique_ptr<WhatsNewController> fromFile(const QString &fileName,
                                                        KivUtilities::UpdateDetector &updateDetector,
                                                        std::unique_ptr<WhatsNewSettingsStore> settingsStore,
                                                        WhatsNewView::Config viewConfig,
                                                        const QString &folder = QStringLiteral(":/"));

    const ReleaseStore &releaseStore() const { return *m_releaseStore; }
    WhatsNewSettingsStore &settingsStore() { return *m_settingsStore; }
    ReleaseFinder &releaseFinder() { return *m_releaseFinder; }
    // The window last opened, while it is open.
    WhatsNewWindowController *window() const { return m_window; }

    // Opens the window on the release due at this launch, after the current turn of the event loop
    // and never over a modal window (it waits until that has closed).
    void showIfNeeded();
    void show(const Release &release);
    // The newest release, whatever the flags say; nothing when there are no releases.
    void showLatestRelease();

signals:
    void windowShown(KivWhatsNew::WhatsNewWindowController *window);

private:
    void showWhenNoModalWindow(const Release &release);

    std::unique_ptr<ReleaseStore> m_releaseStore;
    KivUtilities::UpdateDetector &m_updateDetector;
    std::unique_ptr<WhatsNewSettingsStore> m_settingsStore;
    WhatsNewView::Config m_viewConfig;
    std::unique_ptr<ReleaseFinder> m_releaseFinder;
    QPointer<WhatsNewWindowController> m_window;
};

} // namespace KivWhatsNew
