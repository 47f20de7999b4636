#include "Tapestrel/ui/NotAvailableAppsView.h"

#include "Tapestrel/model/AppConfigStore.h"
#include "Tapestrel/ui/NotAvailableAppRow.h"

#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QVBoxLayout>

NotAvailableAppsView::NotAvailableAppsView(const AppConfigStore *store, QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("NotAvailableAppsView"));
    setWindowTitle(tr("Not Installed Apps"));
    setFixedHeight(sheetHeight);
    setMinimumWidth(420);
    for (AppConfig *config : store ? store->configs() : QList<AppConfig *>()) {
        if (!config->isInstalled())
            m_configs.append(config);
    }

    auto *layout = new QVBoxLayout(this);
    auto *intro =
        new QLabel(tr("Tapestrel can adjust themes and settings in a variety of apps. Here’s a list of "
                      "supported apps that are currently not installed on this computer."));
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto *section = new QGroupBox(tr("Not Installed Apps"));
    auto *list = new QVBoxLayout(section);
    for (AppConfig *config : m_configs) {
        auto *row = new NotAvailableAppRow(config);
        m_rows.append(row);
        list->addWidget(row);
    }
    list->addStretch(1);
    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(section);
    layout->addWidget(scroll, 1);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
}
