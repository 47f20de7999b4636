#pragma once

#include <QDialog>
#include <QList>

class AppConfig;
class AppConfigStore;
class NotAvailableAppRow;

// The sheet of supported applications that are not installed, every registered one in registry
// order, each with a link to its web site. The list is made when the sheet opens.
class NotAvailableAppsView : public QDialog
{
    Q_OBJECT

public:
    static constexpr int sheetHeight = 350;

    explicit NotAvailableAppsView(const AppConfigStore *store, QWidget *parent = nullptr);

    QList<AppConfig *> configs() const { return m_configs; }
    QList<NotAvailableAppRow *> rows() const { return m_rows; }

private:
    QList<AppConfig *> m_configs;
    QList<NotAvailableAppRow *> m_rows;
};
