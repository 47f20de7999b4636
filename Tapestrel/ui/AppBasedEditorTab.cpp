#include "Tapestrel/ui/AppBasedEditorTab.h"

#include "Tapestrel/model/AppConfigStore.h"
#include "Tapestrel/ui/HiddenAppBox.h"
#include "Tapestrel/widgets/AppSection.h"

#include <QVBoxLayout>
#include <QtGlobal>

const QStringList AppBasedEditorTab::appsTab = {
    QStringLiteral("apps.lumapad"),  QStringLiteral("apps.corvella"), QStringLiteral("apps.forklift"),
    QStringLiteral("apps.alfred"),   QStringLiteral("apps.obsidian"), QStringLiteral("apps.bear"),
    QStringLiteral("apps.noteplan"),
};

const QStringList AppBasedEditorTab::toolsTab = {
    QStringLiteral("dt.Xcode"),
    QStringLiteral("apps.vscode"),
    QStringLiteral("com.apple.Terminal"),
    QStringLiteral("apps.iterm"),
};

AppBasedEditorTab::AppBasedEditorTab(Profile *profile, const QStringList &apps, AppConfigStore *configs,
                                     SynchronizedOptionsStore *store, QWidget *parent)
    : QScrollArea(parent)
    , m_profile(profile)
    , m_apps(apps)
{
    setObjectName(QStringLiteral("AppBasedEditorTab"));
    setWidgetResizable(true);
    setFrameShape(QFrame::NoFrame);

    auto *content = new QWidget;
    auto *layout = new QVBoxLayout(content);
    for (const QString &id : apps) {
        AppConfig *config = configs->config(id);
        if (!config)
            qFatal("The application records lack %s", qPrintable(id));
        QWidget *section = config->makeSection(profile, store, content);
        auto *appSection = qobject_cast<AppSection *>(section);
        if (!appSection) {
            // An application whose own section has not arrived yet still shows its place.
            delete section;
            appSection =
                new AppSection(config->appName(), std::nullopt, profile, config, {}, {}, {}, content);
        }
        m_sections.append(appSection);
        layout->addWidget(appSection);
    }
    m_box = new HiddenAppBox(apps, configs, content);
    layout->addWidget(m_box);
    layout->addStretch(1);
    setWidget(content);
}

QList<AppSection *> AppBasedEditorTab::shownSections() const
{
    QList<AppSection *> shown;
    for (AppSection *section : m_sections) {
        if (section->isPresent())
            shown.append(section);
    }
    return shown;
}

void AppBasedEditorTab::refresh()
{
    for (AppSection *section : m_sections)
        section->refresh();
}

void AppBasedEditorTab::showEvent(QShowEvent *event)
{
    refresh();
    QScrollArea::showEvent(event);
}
