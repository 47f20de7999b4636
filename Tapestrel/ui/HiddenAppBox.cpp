#include "Tapestrel/ui/HiddenAppBox.h"

#include "KivUtilities/Symbols.h"
#include "Tapestrel/ui/NotAvailableAppsObserver.h"
#include "Tapestrel/ui/NotAvailableAppsView.h"
#include "Tapestrel/widgets/TextStyle.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

HiddenAppBox::HiddenAppBox(const QStringList &apps, AppConfigStore *store, QWidget *parent)
    : QWidget(parent)
    , m_store(store)
    , m_observer(new NotAvailableAppsObserver(apps, store, this))
    , m_content(new QWidget(this))
    , m_count(new QLabel(m_content))
    , m_show(new QToolButton(m_content))
{
    setObjectName(QStringLiteral("HiddenAppBox"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 20, 0, 0);
    layout->addWidget(m_content);

    auto *row = new QHBoxLayout(m_content);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    row->addStretch(1);
    m_count->setContentsMargins(8, 0, 0, 0);
    m_count->setWordWrap(true);
    TextStyle::apply(m_count, TextStyle::Level::secondary);
    row->addWidget(m_count, 0, Qt::AlignVCenter);
    m_show->setAutoRaise(true);
    m_show->setToolButtonStyle(Qt::ToolButtonIconOnly);
    m_show->setText(tr("Show"));
    m_show->setToolTip(tr("Show"));
    m_show->setAccessibleName(tr("Show"));
    m_show->setIcon(KivUtilities::Symbols::icon(QStringLiteral("arrow.right.circle.fill")));
    row->addWidget(m_show, 0, Qt::AlignVCenter);
    row->addStretch(1);

    connect(m_show, &QToolButton::clicked, this, &HiddenAppBox::showNotAvailableApps);
    connect(m_observer, &NotAvailableAppsObserver::notAvailableAppsChanged, this, &HiddenAppBox::update);
    update();
}

QString HiddenAppBox::countText(qsizetype count)
{
    if (count == 1)
        return tr("1 app is hidden, because it's not installed on this device");
    return tr("%1 apps are hidden, because they're not installed on this device").arg(count);
}

void HiddenAppBox::showEvent(QShowEvent *event)
{
    m_observer->refresh();
    QWidget::showEvent(event);
}

void HiddenAppBox::update()
{
    const qsizetype count = m_observer->notAvailableApps().size();
    m_count->setText(countText(count));
    m_content->setVisible(count > 0);
}

void HiddenAppBox::showNotAvailableApps()
{
    if (m_sheet)
        return;
    // The sheet lists what is not installed when it opens.
    m_sheet = new NotAvailableAppsView(m_store, this);
    m_sheet->setAttribute(Qt::WA_DeleteOnClose);
    // Closing the sheet ends showing it at once; it is deleted afterwards.
    connect(m_sheet, &QDialog::finished, this, [this] { m_sheet = nullptr; });
    m_sheet->open();
}
