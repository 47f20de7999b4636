#pragma once

#include <QWidget>

class AppConfig;

// One application of the sheet: its icon, its name and "Open App Website".
class NotAvailableAppRow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int iconSize = 24;

    explicit NotAvailableAppRow(AppConfig *config, QWidget *parent = nullptr);

    AppConfig *config() const { return m_config; }
    QString name() const;
    // Asks for the web site in the browser, as the button does.
    void openWebsite();

private:
    AppConfig *m_config;
};
