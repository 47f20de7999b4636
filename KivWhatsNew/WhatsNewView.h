#pragma once

#include "KivWhatsNew/ReleaseStore.h"
#include "KivWhatsNew/WhatsNewSettingsStore.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;
class QToolButton;
class QVBoxLayout;

namespace KivWhatsNew {

// The page that shows one release: title and version, summary, the changes, the link to the full
// notes, "Continue", the newsletter row, and buttons to the previous and next release.
class WhatsNewView : public QWidget
{
    Q_OBJECT

public:
    struct Config
    {
        QColor accentColor;
        QColor buttonBackgroundColor;
        QColor buttonTextColor = Qt::white;
        int windowWidth = 500;
        bool isNewsletterInfoEnabled = true;

        // The system accent (the palette's highlight) for the tint and the button, white text,
        // 500 wide, newsletter row on.
        static Config standard();
    };

    // The title key: What’s New with a typographic apostrophe and a no-break space.
    static const QString titleText;

    // The store, when given, enables navigation between releases; it and the settings store
    // outlive the view.
    WhatsNewView(Release release, Config config, const ReleaseStore *store,
                 WhatsNewSettingsStore *settingsStore, QWidget *parent = nullptr);

    const Release &release() const { return m_release; }
    void setRelease(const Release &release);
    const Config &config() const { return m_config; }

    // "Continue": records the running version as shown, then closes the window.
    void continuePressed();

signals:
    void releaseChanged();
    void dismissed();

private:
    void rebuild();

    Release m_release;
    Config m_config;
    const ReleaseStore *m_store;
    WhatsNewSettingsStore *m_settingsStore;
    QLabel *m_version;
    QLabel *m_summary;
    QWidget *m_changes;
    QVBoxLayout *m_changesLayout;
    QPushButton *m_readFullNotes;
    QToolButton *m_previous = nullptr;
    QToolButton *m_next = nullptr;
};

// One row of the change list: symbol, title, details and, when the change links somewhere, a
// chevron, a highlight under the pointer and a click that opens the link.
class ChangeView : public QWidget
{
    Q_OBJECT

public:
    ChangeView(Change change, QColor tint, QWidget *parent = nullptr);

    const Change &change() const { return m_change; }
    bool isHovered() const { return m_hovered; }
    // Opens the link (with the campaign items) when it is a valid address; otherwise nothing.
    void activate();

protected:
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Change m_change;
    bool m_hovered = false;
};

} // namespace KivWhatsNew
