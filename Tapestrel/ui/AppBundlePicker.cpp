#include "Tapestrel/ui/AppBundlePicker.h"

#include "KivUtilities/PlainToolTip.h"
#include "Tapestrel/model/AppConfig.h"
#include "Tapestrel/system/StringSuffix.h"
#include "Tapestrel/widgets/AppIcon.h"
#include "Tapestrel/widgets/TextStyle.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"

#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {

// Paths are shown without the one "/" that a bundle path may end in.
QString shownPath(const QString &path)
{
    return removingSuffix(path, QStringLiteral("/"));
}

} // namespace

AppBundlePicker::AppBundlePicker(AppConfig *appConfig, QWidget *parent)
    : QWidget(parent)
    , m_appConfig(appConfig)
    , m_icon(new AppIcon(appConfig, iconSize))
    , m_name(new QLabel(appConfig->appName()))
{
    setObjectName(QStringLiteral("AppBundlePicker"));
    m_name->setTextFormat(Qt::PlainText);
    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 2, 0, 2);
    layout->addWidget(m_icon, 0, Qt::AlignVCenter);
    layout->addWidget(m_name, 0, Qt::AlignVCenter);
    layout->addStretch(1);

    // A choice made elsewhere (another window, the defaults tool) shows here as well.
    connect(&Platform::UserDefaults::standard(), &Platform::UserDefaults::valueChanged, this,
            [this](const QString &key) {
                if (key != m_appConfig->bundleIDDefaultsKey())
                    return;
                refresh();
                m_icon->reload();
            });
    refresh();
}

std::optional<QString> AppBundlePicker::bundleID() const
{
    return Platform::UserDefaults::standard().string(m_appConfig->bundleIDDefaultsKey());
}

void AppBundlePicker::setBundleID(const QString &bundleID)
{
    Platform::UserDefaults::standard().setValue(m_appConfig->bundleIDDefaultsKey(), bundleID);
}

void AppBundlePicker::showEvent(QShowEvent *event)
{
    refresh();
    QWidget::showEvent(event);
}

void AppBundlePicker::clearTrailing()
{
    if (m_trailing) {
        m_trailing->hide();
        m_trailing->deleteLater();
    }
    m_trailing = nullptr;
    m_notInstalled = nullptr;
    m_website = nullptr;
    m_path = nullptr;
    m_hint = nullptr;
    m_picker = nullptr;
}

void AppBundlePicker::refresh()
{
    // The installed editions are asked for afresh: nothing tells the row about installations.
    const QList<AppBundleAndPath> installed = m_appConfig->installedApps();
    clearTrailing();
    m_trailing = new QWidget(this);
    auto *row = new QHBoxLayout(m_trailing);
    row->setContentsMargins(0, 0, 0, 0);

    if (installed.isEmpty()) {
        m_state = State::notInstalled;
        row->setSpacing(12);
        m_notInstalled = new QLabel(tr("Not Installed"));
        // 13 pixels, a little heavier than the name beside it.
        QFont font = m_notInstalled->font();
        font.setPixelSize(13);
        font.setWeight(QFont::Medium);
        m_notInstalled->setFont(font);
        TextStyle::apply(m_notInstalled, TextStyle::Level::tertiary);
        auto *divider = new QFrame;
        divider->setFrameShape(QFrame::VLine);
        divider->setFrameShadow(QFrame::Sunken);
        m_website = new QPushButton(tr("Open App Website"));
        m_website->setFlat(true);
        m_website->setCursor(Qt::PointingHandCursor);
        m_website->setStyleSheet(QStringLiteral("QPushButton { color: palette(link); border: none; }"));
        const QUrl website = m_appConfig->websiteURL();
        // Whether the browser opened is not something the user needs to be told.
        connect(m_website, &QPushButton::clicked, this,
                [website] { Platform::Workspace::shared().openUrl(website); });
        row->addWidget(m_notInstalled);
        row->addWidget(divider);
        row->addWidget(m_website);
    } else if (installed.size() == 1) {
        m_state = State::oneInstalled;
        const std::optional<QString> current = m_appConfig->currentBundleID();
        QString path = installed.first().path;
        for (const AppBundleAndPath &app : installed) {
            if (current && app.bundleID.id == *current)
                path = app.path;
        }
        m_path = new QLabel(shownPath(path));
        m_path->setTextFormat(Qt::PlainText);
        TextStyle::apply(m_path, TextStyle::Level::secondary);
        row->addWidget(m_path);
    } else {
        m_state = State::choice;
        const std::optional<AppBundleAndPath> preferred = m_appConfig->preferredInstalledApp();
        if (!preferred) {
            m_hint = new QLabel(tr("App not chosen. Using first available."));
            TextStyle::makeCaption(m_hint);
            TextStyle::apply(m_hint, TextStyle::Level::secondary);
            m_hint->setToolTip(KivUtilities::plainToolTip(shownPath(installed.first().path)));
            row->addWidget(m_hint);
        }
        m_picker = new QComboBox;
        m_picker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
        for (const AppBundleAndPath &app : installed)
            m_picker->addItem(shownPath(app.path), app.bundleID.id);
        // A stored edition that is not installed selects nothing; the first installed one is used.
        m_picker->setCurrentIndex(preferred ? m_picker->findData(preferred->bundleID.id) : -1);
        connect(m_picker, &QComboBox::activated, this, [this](int index) {
            if (!m_picker || index < 0)
                return;
            setBundleID(m_picker->itemData(index).toString());
        });
        row->addWidget(m_picker);
    }
    static_cast<QHBoxLayout *>(layout())->addWidget(m_trailing, 0, Qt::AlignVCenter);
    // Shown with the row at once, not a moment after it.
    if (isVisible())
        m_trailing->show();
}
