#pragma once

#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QTabWidget;

namespace KivApp {

// The title and symbol of one tab of a settings window.
struct SettingsTabLabel
{
    QString title;
    QString systemImage;
};

// One tab of a settings window. A `form` page sets its content in a grouped form; a `view` page
// shows it as it is. The content is built the first time the page is shown or asked for it, so a
// subclass may build it from its own members.
class SettingsPage : public QWidget
{
    Q_OBJECT

public:
    enum class Kind { form, view };

    SettingsPage(SettingsTabLabel tab, Kind kind, std::function<QWidget *()> buildView,
                 QWidget *parent = nullptr);

    const SettingsTabLabel &tab() const { return m_tab; }
    Kind kind() const { return m_kind; }
    // Builds the content on first use.
    QWidget *content();

    // The height the window takes while this page is shown; without one the page's own size hint.
    void setFixedPageHeight(int height) { m_fixedHeight = height; }
    std::optional<int> fixedPageHeight() const { return m_fixedHeight; }
    int pageHeight();

protected:
    void showEvent(QShowEvent *event) override;

private:
    SettingsTabLabel m_tab;
    Kind m_kind;
    std::function<QWidget *()> m_buildView;
    QWidget *m_content = nullptr;
    std::optional<int> m_fixedHeight;
};

// A settings window: the pages as tabs in their order, at a fixed width, each tab giving the window
// its own height. Closing it only hides it; the owner decides when it goes.
class SettingsWindow : public QWidget
{
    Q_OBJECT

public:
    static inline const QString windowId = QStringLiteral("settings");

    explicit SettingsWindow(int width, QWidget *parent = nullptr);

    // Takes the page over.
    void addPage(SettingsPage *page);
    QList<SettingsPage *> pages() const;
    SettingsPage *currentPage() const;
    void setCurrentPage(int index);
    QTabWidget *tabs() const { return m_tabs; }

protected:
    // The first time it opens, the window is centred on the screen.
    void showEvent(QShowEvent *event) override;

private:
    void fitToCurrentPage();

    QTabWidget *m_tabs;
    int m_width;
    bool m_placed = false;
};

} // namespace KivApp
