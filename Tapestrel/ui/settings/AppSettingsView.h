#pragma once

#include "KivApp/SettingsPage.h"

#include <QList>

class AppBundlePicker;
class AppConfigStore;
class QLabel;

// The "Apps" settings page: for every integrated application that comes in several editions, in
// registry order, a row to choose the edition the program uses.
class AppSettingsView : public KivApp::SettingsPage
{
    Q_OBJECT

public:
    static constexpr int fixedHeight = 288;

    // Over the main controller's registry of the integrated applications, which outlives the page.
    explicit AppSettingsView(AppConfigStore &appConfigStore, QWidget *parent = nullptr);
    ~AppSettingsView() override;

    AppConfigStore &appConfigStore() const { return *m_appConfigStore; }
    // The rows, once the content is built.
    QList<AppBundlePicker *> pickers() const { return m_pickers; }
    QLabel *headerLabel() const { return m_header; }
    QLabel *footerLabel() const { return m_footer; }

private:
    QWidget *build();

    AppConfigStore *m_appConfigStore;
    QList<AppBundlePicker *> m_pickers;
    QLabel *m_header = nullptr;
    QLabel *m_footer = nullptr;
};
