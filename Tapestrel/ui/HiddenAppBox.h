#pragma once

#include "Tapestrel/ui/NotAvailableAppsView.h"

#include <QPointer>
#include <QWidget>

class AppConfigStore;
class NotAvailableAppsObserver;
class QLabel;
class QToolButton;

// The footer of an application tab: how many of the tab's applications are hidden because they are
// not installed, and a button that opens the list of every supported application that is not
// installed. It shows nothing while the tab hides none. The count is worked out again each time
// the box comes on screen.
class HiddenAppBox : public QWidget
{
    Q_OBJECT

public:
    HiddenAppBox(const QStringList &apps, AppConfigStore *store, QWidget *parent = nullptr);

    // "1 app is hidden, …" or "3 apps are hidden, …".
    static QString countText(qsizetype count);

    NotAvailableAppsObserver *observer() const { return m_observer; }
    QLabel *countLabel() const { return m_count; }
    QToolButton *showButton() const { return m_show; }
    // The open sheet, while one is open.
    NotAvailableAppsView *sheet() const { return m_sheet; }
    bool isShowingNotAvailableApps() const { return m_sheet != nullptr; }

    // Opens the sheet, as the button does.
    void showNotAvailableApps();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void update();

    AppConfigStore *m_store;
    NotAvailableAppsObserver *m_observer;
    QWidget *m_content;
    QLabel *m_count;
    QToolButton *m_show;
    QPointer<NotAvailableAppsView> m_sheet;
};
