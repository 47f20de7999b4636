#include "Tapestrel/ui/NotAvailableAppRow.h"

#include "Tapestrel/model/AppConfig.h"
#include "Tapestrel/widgets/AppIcon.h"
#include "platform/Workspace.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

NotAvailableAppRow::NotAvailableAppRow(AppConfig *config, QWidget *parent)
    : QWidget(parent)
    , m_config(config)
{
    setObjectName(QStringLiteral("NotAvailableAppRow"));
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->addWidget(new AppIcon(config, iconSize), 0, Qt::AlignVCenter);
    auto *name = new QLabel(config->appName());
    name->setTextFormat(Qt::PlainText);
    layout->addWidget(name, 0, Qt::AlignVCenter);
    layout->addStretch(1);
    auto *website = new QPushButton(tr("Open App Website"));
    connect(website, &QPushButton::clicked, this, &NotAvailableAppRow::openWebsite);
    layout->addWidget(website, 0, Qt::AlignVCenter);
}

QString NotAvailableAppRow::name() const
{
    return m_config->appName();
}

void NotAvailableAppRow::openWebsite()
{
    // Whether the browser opened is not something to tell the user.
    Platform::Workspace::shared().openUrl(m_config->websiteURL());
}
