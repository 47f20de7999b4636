#include "SettingsPage.h"

#include "KivUtilities/Symbols.h"

#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace KivApp {

SettingsPage::SettingsPage(SettingsTabLabel tab, Kind kind, std::function<QWidget *()> buildView,
                           QWidget *parent)
    : QWidget(parent)
    , m_tab(std::move(tab))
    , m_kind(kind)
    , m_buildView(std::move(buildView))
{
    setObjectName(QStringLiteral("SettingsPage"));
    setProperty(KivUtilities::Symbols::propertyName, m_tab.systemImage);
    // The style's own layout margins, as the desktop's other settings windows have them.
    new QVBoxLayout(this);
}

QWidget *SettingsPage::content()
{
    if (m_content)
        return m_content;
    QWidget *built = m_buildView ? m_buildView() : nullptr;
    if (!built)
        built = new QWidget;
    m_content = built;
    if (m_kind == Kind::form) {
        // A grouped form: the rows sit on one rounded, slightly raised panel.
        auto *group = new QFrame;
        group->setObjectName(QStringLiteral("GroupedForm"));
        group->setFrameShape(QFrame::StyledPanel);
        group->setAutoFillBackground(true);
        group->setBackgroundRole(QPalette::AlternateBase);
        auto *groupLayout = new QVBoxLayout(group);
        groupLayout->setContentsMargins(12, 10, 12, 10);
        groupLayout->addWidget(built);
        layout()->addWidget(group);
        static_cast<QVBoxLayout *>(layout())->addStretch(1);
        group->show();
    } else {
        layout()->setContentsMargins(0, 0, 0, 0);
        layout()->addWidget(built);
    }
    // Shown now rather than on the next event-loop turn, so the page's size hint counts it and a
    // page built while already on screen draws at once.
    built->show();
    return m_content;
}

int SettingsPage::pageHeight()
{
    if (m_fixedHeight)
        return *m_fixedHeight;
    content();
    return sizeHint().height();
}

void SettingsPage::showEvent(QShowEvent *event)
{
    content();
    QWidget::showEvent(event);
}

SettingsWindow::SettingsWindow(int width, QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_tabs(new QTabWidget(this))
    , m_width(width)
{
    setObjectName(windowId);
    setWindowTitle(QCoreApplication::translate("SettingsWindow", "Settings"));
    m_tabs->setDocumentMode(true);
    m_tabs->tabBar()->setExpanding(false);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_tabs);
    connect(m_tabs, &QTabWidget::currentChanged, this, &SettingsWindow::fitToCurrentPage);
}

void SettingsWindow::addPage(SettingsPage *page)
{
    m_tabs->addTab(page, KivUtilities::Symbols::icon(page->tab().systemImage), page->tab().title);
    if (m_tabs->count() == 1)
        fitToCurrentPage();
}

QList<SettingsPage *> SettingsWindow::pages() const
{
    QList<SettingsPage *> result;
    for (int index = 0; index < m_tabs->count(); ++index)
        result.append(static_cast<SettingsPage *>(m_tabs->widget(index)));
    return result;
}

SettingsPage *SettingsWindow::currentPage() const
{
    return static_cast<SettingsPage *>(m_tabs->currentWidget());
}

void SettingsWindow::setCurrentPage(int index)
{
    m_tabs->setCurrentIndex(index);
}

void SettingsWindow::showEvent(QShowEvent *event)
{
    if (!m_placed) {
        m_placed = true;
        if (QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), size());
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}

void SettingsWindow::fitToCurrentPage()
{
    SettingsPage *page = currentPage();
    if (!page)
        return;
    const int height = page->pageHeight() + m_tabs->tabBar()->sizeHint().height();
    setFixedSize(m_width, height);
}

} // namespace KivApp
