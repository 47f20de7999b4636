#include "Tapestrel/ui/switcher/MenuView.h"

#include "KivApp/PullDownButton.h"
#include "KivUtilities/Symbols.h"
#include "Tapestrel/model/ApplyProfileCommand.h"
#include "Tapestrel/model/ModelContext.h"
#include "Tapestrel/model/NewProfileCommand.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileNameOrder.h"
#include "Tapestrel/model/SelectionModel.h"
#include "Tapestrel/ui/switcher/NewProfileView.h"
#include "Tapestrel/ui/switcher/ProfileMenuButton.h"
#include "Tapestrel/ui/switcher/TileGrid.h"

#include <QDebug>
#include <QHBoxLayout>
#include <QPushButton>
#include <QScrollArea>
#include <QSet>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

MenuView::MenuView(ModelContext *context, SelectionModel *model, Actions actions, QWidget *parent)
    : QWidget(parent)
    , m_context(context)
    , m_model(model)
    , m_actions(std::move(actions))
    , m_topBar(new QWidget(this))
    , m_buttonRow(new QWidget(m_topBar))
    , m_editProfiles(new QPushButton(tr("Edit Profiles"), m_buttonRow))
    , m_plus(new QToolButton(m_buttonRow))
    , m_more(new KivApp::PullDownButton(this))
    , m_moreMenu(new MoreMenu(m_actions.moreItems, this))
{
    setObjectName(QStringLiteral("MenuView"));
    if (!m_actions.applyProfile) {
        m_actions.applyProfile = [](Profile *profile) {
            ApplyProfileCommand(profile, true).execute();
        };
    }
    if (!m_actions.createProfile) {
        m_actions.createProfile = [this](const QString &name) {
            NewProfileCommand(m_model, m_context, name, false).execute();
        };
    }

    QFont medium = m_editProfiles->font();
    medium.setWeight(QFont::Medium);
    m_editProfiles->setFont(medium);
    connect(m_editProfiles, &QPushButton::clicked, this, [this] {
        if (m_actions.openMainWindow)
            m_actions.openMainWindow(true);
    });
    m_plus->setIcon(KivUtilities::Symbols::icon(QStringLiteral("plus")));
    m_plus->setIconSize(QSize(18, 18));
    m_plus->setToolTip(tr("New Profile", "New profile name"));
    m_plus->setAutoRaise(true);
    connect(m_plus, &QToolButton::clicked, this, &MenuView::showNewProfileView);

    auto *row = new QHBoxLayout(m_buttonRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(m_editProfiles);
    row->addStretch(1);
    row->addWidget(m_plus);
    auto *top = new QVBoxLayout(m_topBar);
    top->addWidget(m_buttonRow);

    auto *content = new QWidget;
    auto *contentLayout = new QVBoxLayout(content);
    m_contentLayout = contentLayout;
    contentLayout->setContentsMargins(20, 20, 20, 20);
    auto *scroll = new QScrollArea(this);
    m_grid = new TileGrid(scroll);
    contentLayout->addWidget(m_grid);
    contentLayout->addStretch(1);
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_more->setText(tr("More"));
    m_more->setIcon(m_moreMenu->icon());
    m_more->setAutoRaise(true);
    m_more->setMenu(m_moreMenu);
    auto *bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(m_more);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_topBar);
    layout->addWidget(scroll, 1);
    layout->addLayout(bottom);

    if (m_context)
        connect(m_context, &ModelContext::profilesChanged, this, &MenuView::scheduleReload);
    reload();
}

QList<ProfileMenuButton *> MenuView::tiles() const
{
    return m_grid->tiles();
}

void MenuView::showNewProfileView()
{
    if (m_newProfileView)
        return;
    // Each showing starts over with the default name.
    m_newProfileView = new NewProfileView(
        tr("New Profile", "New profile name"),
        [this](const QString &name) {
            if (m_actions.openMainWindow)
                m_actions.openMainWindow(false);
            if (m_actions.createProfile)
                m_actions.createProfile(name);
        },
        m_topBar);
    connect(m_newProfileView, &NewProfileView::finished, this, &MenuView::hideNewProfileView);
    m_buttonRow->hide();
    m_topBar->layout()->addWidget(m_newProfileView);
}

void MenuView::hideNewProfileView()
{
    if (!m_newProfileView)
        return;
    m_newProfileView->hide();
    m_newProfileView->deleteLater();
    m_newProfileView = nullptr;
    m_buttonRow->show();
}

void MenuView::editProfile(Profile *profile)
{
    if (m_model)
        m_model->setSelectedProfiles({profile});
    if (m_actions.openMainWindow)
        m_actions.openMainWindow(false);
}

void MenuView::scheduleReload()
{
    // Many changes arrive together (a save, an import): one fetch after them is enough.
    if (m_reloadPending)
        return;
    m_reloadPending = true;
    QTimer::singleShot(0, this, [this] {
        m_reloadPending = false;
        reload();
    });
}

void MenuView::watch(Profile *profile)
{
    if (const auto found = m_watches.constFind(profile); found != m_watches.cend()) {
        if (found->profile == profile)
            return;
        // A profile made where a destroyed one was.
        disconnect(found->name);
        disconnect(found->enabled);
        m_watches.erase(found);
    }
    Watch watch {profile, {}, {}};
    watch.name = connect(profile, &Profile::nameChanged, this, [this, profile] {
        m_nameKeys.forget(profile);
        m_namesOrStatesChanged = true;
        scheduleReload();
    });
    watch.enabled = connect(profile, &Profile::isEnabledChanged, this, [this] {
        m_namesOrStatesChanged = true;
        scheduleReload();
    });
    m_watches.insert(profile, watch);
}

ProfileMenuButton *MenuView::makeTile(Profile *profile)
{
    return new ProfileMenuButton(
        profile, [this](Profile *p) { m_actions.applyProfile(p); }, [this](Profile *p) { editProfile(p); });
}

void MenuView::showTiles(const QList<ProfileMenuButton *> &tiles, const QList<ProfileMenuButton *> &gone,
                         bool namesChanged)
{
    m_grid->setTiles(tiles, namesChanged);
    for (ProfileMenuButton *tile : gone) {
        tile->hide();
        tile->deleteLater();
    }
    // Two tiles a row, with the room that is left shared evenly on both sides.
    if (!tiles.isEmpty()) {
        const int side = qMax(0, (panelWidth - 2 * tiles.first()->sizeHint().width()) / 2);
        m_contentLayout->setContentsMargins(side, 20, side, 20);
    }
}

void MenuView::reload()
{
    QList<Profile *> profiles;
    if (m_context) {
        try {
            profiles = m_context->fetchProfiles();
        } catch (const std::exception &error) {
            qWarning() << "The switcher could not read the profiles:" << error.what();
        }
    }
    const auto same = [](Profile *profile, const QPointer<Profile> &connected) {
        return profile == connected;
    };
    // Most reloads follow changes that the switcher does not show (an option added or saved): the
    // connections and the grid then stay as they are, since redoing them for every profile made each
    // such change cost as much as the whole list.
    const bool sameProfiles = profiles.size() == m_connectedProfiles.size()
        && std::equal(profiles.cbegin(), profiles.cend(), m_connectedProfiles.cbegin(), same);
    if (sameProfiles && !m_namesOrStatesChanged)
        return; // the same profiles with the same names and states: the same tiles in the same order

    // The most common change is new profiles at the end of the store (one made, an import), all
    // others as they were: only the new ones are connected and put in their places among the tiles.
    const qsizetype before = m_connectedProfiles.size();
    if (!m_namesOrStatesChanged && profiles.size() > before
        && std::equal(profiles.cbegin(), profiles.cbegin() + before, m_connectedProfiles.cbegin(), same)) {
        QList<Profile *> added = profiles.mid(before);
        for (Profile *profile : std::as_const(added)) {
            watch(profile);
            m_connectedProfiles.append(profile);
        }
        added.removeIf([](Profile *profile) { return !profile->isEnabled(); });
        if (added.isEmpty())
            return;
        const QList<ProfileMenuButton *> current = m_grid->tiles();
        QList<Profile *> order;
        order.reserve(current.size() + added.size());
        for (ProfileMenuButton *tile : current)
            order.append(tile->profile());
        m_nameKeys.insert(order, added);
        QList<ProfileMenuButton *> tiles;
        tiles.reserve(order.size());
        qsizetype next = 0;
        for (Profile *profile : std::as_const(order)) {
            const bool kept = next < current.size() && current[next]->profile() == profile;
            tiles.append(kept ? current[next++] : makeTile(profile));
        }
        showTiles(tiles, {}, false);
        return;
    }

    if (!sameProfiles) {
        // Only profiles that came or went are connected or disconnected.
        QSet<const Profile *> present;
        present.reserve(profiles.size());
        for (Profile *profile : std::as_const(profiles))
            present.insert(profile);
        for (auto watch = m_watches.begin(); watch != m_watches.end();) {
            if (present.contains(watch.key()) && watch->profile == watch.key()) {
                ++watch;
                continue;
            }
            disconnect(watch->name);
            disconnect(watch->enabled);
            watch = m_watches.erase(watch);
        }
        for (Profile *profile : std::as_const(profiles))
            watch(profile);
        m_connectedProfiles.clear();
        m_connectedProfiles.reserve(profiles.size());
        for (Profile *profile : std::as_const(profiles))
            m_connectedProfiles.append(profile);
    }
    const bool namesOrStatesChanged = std::exchange(m_namesOrStatesChanged, false);
    profiles.removeIf([](Profile *profile) { return !profile->isEnabled(); });
    m_nameKeys.sort(profiles);
    const QList<ProfileMenuButton *> &current = m_grid->tiles();
    if (profiles.size() == current.size()
        && std::equal(profiles.cbegin(), profiles.cend(), current.cbegin(),
                      [](Profile *profile, ProfileMenuButton *tile) { return tile->profile() == profile; })) {
        // A new name may have made a tile taller or wider.
        if (namesOrStatesChanged)
            m_grid->updateTileSizes();
        return;
    }

    // Tiles of profiles that stay are kept, so a pointer resting on one keeps its highlight.
    QHash<const Profile *, ProfileMenuButton *> kept;
    kept.reserve(current.size());
    QList<ProfileMenuButton *> gone;
    for (ProfileMenuButton *tile : current) {
        if (tile->profile())
            kept.insert(tile->profile(), tile);
        else
            gone.append(tile);
    }
    QList<ProfileMenuButton *> tiles;
    tiles.reserve(profiles.size());
    for (Profile *profile : std::as_const(profiles)) {
        ProfileMenuButton *tile = kept.take(profile);
        tiles.append(tile ? tile : makeTile(profile));
    }
    // What is left are the tiles of profiles that went.
    for (ProfileMenuButton *tile : std::as_const(kept))
        gone.append(tile);
    showTiles(tiles, gone, namesOrStatesChanged);
}
