#include "ProfileEditor.h"

#include "Tapestrel/model/Defaults.h"
#include "Tapestrel/ui/AppBasedEditorTab.h"
#include "Tapestrel/widgets/EditorPicker.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QScrollArea>
#include <QTabWidget>
#include <QVBoxLayout>

const QStringList ProfileEditor::tabTags = {QStringLiteral("background"), QStringLiteral("system"),
                                            QStringLiteral("apps"), QStringLiteral("developer")};

QList<ProfileEditor::Group> ProfileEditor::systemGroups()
{
    return {
        {tr("Appearance"),
         {QStringLiteral("system.ui.appearance"), QStringLiteral("system.desktop.liquidGlassStyle"),
          QStringLiteral("system.ui.accentColor"), QStringLiteral("system.desktop.iconAndWidgetStyle"),
          QStringLiteral("system.finder.folderColor")}},
        {tr("Desktop"),
         {QStringLiteral("system.desktop.stageManager.enable"),
          QStringLiteral("system.ui.desktop.ShowWidgets"), QStringLiteral("system.ui.desktop.ShowIcons")}},
        {tr("Dock"),
         {QStringLiteral("system.desktop.dock.autoHide"), QStringLiteral("system.dock.size"),
          QStringLiteral("system.desktop.dock.enableMagnification"), QStringLiteral("system.dock.position")}},
        {tr("Misc"), {QStringLiteral("system.misc.autoHideMenuBar")}},
    };
}

ProfileEditor::ProfileEditor(Profile *profile, Defaults *defaults, SynchronizedOptionsStore *store,
                             AppConfigStore *configs, QWidget *parent)
    : QWidget(parent)
    , m_profile(profile)
    , m_defaults(defaults)
    , m_store(store)
    , m_configs(configs)
    , m_tabs(new QTabWidget(this))
{
    setObjectName(QStringLiteral("ProfileEditor"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);

    m_tabs->addTab(makeBackgroundTab(), tr("Background"));
    m_tabs->addTab(makeSystemTab(), tr("System"));
    m_appsHolder = makeHolder();
    m_tabs->addTab(m_appsHolder, tr("Apps"));
    m_toolsHolder = makeHolder();
    m_tabs->addTab(m_toolsHolder, tr("Tools"));

    selectStoredTab();
    buildApplicationTab(m_tabs->currentIndex());
    connect(m_tabs, &QTabWidget::currentChanged, this, [this](int index) {
        buildApplicationTab(index);
        if (!m_selecting && m_defaults && index >= 0 && index < tabTags.size()
            && m_defaults->activeEditorTab() != tabTags[index])
            m_defaults->setActiveEditorTab(tabTags[index]);
    });
    if (m_defaults)
        connect(m_defaults.data(), &Defaults::activeEditorTabChanged, this, &ProfileEditor::selectStoredTab);
}

QString ProfileEditor::currentTag() const
{
    const int index = m_tabs->currentIndex();
    return index >= 0 && index < tabTags.size() ? tabTags[index] : QString();
}

void ProfileEditor::selectStoredTab()
{
    // No stored tab, or one this editor does not have, shows the first tab.
    const qsizetype index =
        m_defaults ? tabTags.indexOf(m_defaults->activeEditorTab().value_or(QString())) : -1;
    // Showing the stored tab is not a choice of the user: nothing is written back.
    m_selecting = true;
    m_tabs->setCurrentIndex(index < 0 ? 0 : int(index));
    m_selecting = false;
}

QWidget *ProfileEditor::makeBackgroundTab()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("BackgroundEditor"));
    auto *layout = new QVBoxLayout(page);
    // The background editor fills the tab and scrolls its own sections; no other row stands beside
    // it to line up with, so no empty strip is kept for a badge.
    auto *row = new EditorPicker(QStringLiteral("system.desktop.background.picture"), m_profile, m_store);
    row->setBadgeKeepsItsPlace(false);
    layout->addWidget(row, 1);
    return page;
}

QWidget *ProfileEditor::makeSystemTab()
{
    auto *content = new QWidget;
    content->setObjectName(QStringLiteral("SystemSettingsEditor"));
    auto *layout = new QVBoxLayout(content);
    for (const Group &group : systemGroups()) {
        auto *box = new QGroupBox(group.title);
        auto *rows = new QVBoxLayout(box);
        for (const QString &key : group.keys)
            rows->addWidget(new EditorPicker(key, m_profile, m_store));
        layout->addWidget(box);
    }
    layout->addStretch();

    auto *scroll = new QScrollArea;
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidget(content);
    return scroll;
}

QWidget *ProfileEditor::makeHolder()
{
    auto *holder = new QWidget;
    auto *layout = new QVBoxLayout(holder);
    layout->setContentsMargins(0, 0, 0, 0);
    return holder;
}

void ProfileEditor::buildApplicationTab(int index)
{
    // Built when first shown: the sections look at the installed applications and read their themes.
    QWidget *holder = m_tabs->widget(index);
    const bool apps = holder == m_appsHolder;
    if ((!apps && holder != m_toolsHolder) || (apps ? m_appsTab : m_toolsTab) || !m_configs)
        return;
    auto *tab = new AppBasedEditorTab(
        m_profile, apps ? AppBasedEditorTab::appsTab : AppBasedEditorTab::toolsTab, m_configs, m_store);
    tab->setObjectName(apps ? QStringLiteral("AppsEditor") : QStringLiteral("ToolsEditor"));
    holder->layout()->addWidget(tab);
    (apps ? m_appsTab : m_toolsTab) = tab;
}
