#include "Tapestrel/ui/settings/AppSettingsView.h"

#include "Tapestrel/model/AppConfigStore.h"
#include "Tapestrel/ui/AppBundlePicker.h"
#include "Tapestrel/widgets/TextStyle.h"

#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

AppSettingsView::AppSettingsView(AppConfigStore &appConfigStore, QWidget *parent)
    : KivApp::SettingsPage(
        {tr("Apps"), QStringLiteral("app")}, Kind::form, [this] { return build(); }, parent)
    , m_appConfigStore(&appConfigStore)
{
    setObjectName(QStringLiteral("AppSettingsView"));
    setFixedPageHeight(fixedHeight);
}

AppSettingsView::~AppSettingsView() = default;

QWidget *AppSettingsView::build()
{
    auto *section = new QWidget;
    auto *layout = new QVBoxLayout(section);
    layout->setContentsMargins(0, 0, 0, 0);

    m_header = new QLabel(tr("Application Paths"));
    QFont bold = m_header->font();
    bold.setBold(true);
    m_header->setFont(bold);
    layout->addWidget(m_header);

    for (AppConfig *config : m_appConfigStore->multiEditionConfigs()) {
        if (!m_pickers.isEmpty()) {
            auto *separator = new QFrame;
            separator->setFrameShape(QFrame::HLine);
            separator->setFrameShadow(QFrame::Sunken);
            layout->addWidget(separator);
        }
        auto *picker = new AppBundlePicker(config);
        m_pickers.append(picker);
        layout->addWidget(picker);
    }

    m_footer = new QLabel(tr("Some applications are distributed with different bundle IDs. Then you need to "
                             "choose the one that you want to use."));
    m_footer->setWordWrap(true);
    TextStyle::apply(m_footer, TextStyle::Level::secondary);
    TextStyle::makeCaption(m_footer);
    layout->addWidget(m_footer);
    return section;
}
