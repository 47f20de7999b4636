#include "EditorPicker.h"

#include "ColorLabel.h"

#include "KivUtilities/Detached.h"
#include "KivUtilities/Symbols.h"
#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/OptionModel.h"
#include "Tapestrel/model/OptionStore.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/ProfileController.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"
#include "platform/Alerts.h"

#include <QApplication>
#include <QGraphicsOpacityEffect>
#include <QHBoxLayout>
#include <QMenu>
#include <QTimer>
#include <QWidgetAction>

namespace {

ProfileController::DisabledOptionIDs disabledIDs(QPointer<SynchronizedOptionsStore> store)
{
    return [store]() {
        return store ? store->disabledOptionsIDs() : QStringList();
    };
}

// Each operation makes its own controller, which lives as long as the operation.
QCoro::Task<void> applyOne(QPointer<Profile> profile, QString key, QPointer<SynchronizedOptionsStore> store)
{
    OptionModel *model = OptionStore::shared().model(key);
    if (!profile || !model)
        co_return;
    ProfileController controller(profile, disabledIDs(store));
    try {
        co_await controller.apply(model);
    } catch (const std::exception &error) {
        // The person who chose Apply learns that the setting was not changed, and why.
        const OptionFailure failure = OptionFailure::of(*model, error);
        Platform::Alert alert;
        alert.message = EditorPicker::tr("“%1” could not be changed.")
                            .arg(OptionModel::displayPathText(failure.displayPath));
        alert.informativeText = failure.message;
        alert.buttons = {EditorPicker::tr("OK")};
        // From the event loop, not from inside the apply's resumption.
        QTimer::singleShot(0, qApp, [alert] { Platform::Alerts::run(alert); });
    }
}

QCoro::Task<void> readOne(QPointer<Profile> profile, QString key, QPointer<SynchronizedOptionsStore> store)
{
    OptionModel *model = OptionStore::shared().model(key);
    if (!profile || !model)
        co_return;
    ProfileController controller(profile, disabledIDs(store));
    co_await controller.readCurrentValue(model);
}

} // namespace

EditorPicker::EditorPicker(const QString &key, Profile *profile, SynchronizedOptionsStore *store,
                           QWidget *parent)
    : QWidget(parent)
    , m_key(key)
    , m_profile(profile)
    , m_store(store)
{
    setObjectName(QStringLiteral("EditorPicker"));
    setProperty("optionKey", key);
    m_layout = new QHBoxLayout(this);
    m_layout->setContentsMargins(0, 0, 0, 0);

    m_badge = new ColorLabel(tr("Disabled"), Qt::red, this);
    // The badge keeps its place while hidden, so that the pickers of rows with and without it line up.
    QSizePolicy badgePolicy = m_badge->sizePolicy();
    badgePolicy.setRetainSizeWhenHidden(true);
    m_badge->setSizePolicy(badgePolicy);
    m_layout->addWidget(m_badge);

    OptionModel *registered = model();
    if (!registered || !profile) {
        // Nothing to edit: keep the row's place in the layout but offer nothing.
        m_badge->hide();
        setEnabled(false);
        m_layout->addStretch();
        return;
    }

    // The row edits the profile's own option, so that what is shown is what applying uses.
    m_option = profile->findOrCreateOption(key);
    m_picker = registered->makePicker(m_option, profile, this);
    if (m_picker)
        m_layout->addWidget(m_picker, 1);
    else
        m_layout->addStretch();

    setContextMenuPolicy(Qt::CustomContextMenu);
    connect(this, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        QMenu *menu = makeMenu(this);
        menu->setAttribute(Qt::WA_DeleteOnClose);
        menu->popup(mapToGlobal(pos));
    });

    if (m_store)
        connect(m_store.data(), &SynchronizedOptionsStore::disabledOptionsIDsChanged, this,
                &EditorPicker::refresh);
    connect(m_option.data(), &Option::isEnabledChanged, this, &EditorPicker::refresh);
    refresh();
}

void EditorPicker::setBadgeKeepsItsPlace(bool keep)
{
    QSizePolicy policy = m_badge->sizePolicy();
    policy.setRetainSizeWhenHidden(keep);
    m_badge->setSizePolicy(policy);
}

OptionModel *EditorPicker::model() const
{
    return OptionStore::shared().model(m_key);
}

EditorPicker::State EditorPicker::state() const
{
    if (m_store && m_store->disabledOptionsIDs().contains(m_key))
        return State::disabledGlobally;
    Option *existing = m_profile ? m_profile->option(m_key) : nullptr;
    if (existing && !existing->isEnabled())
        return State::disabledInProfile;
    return State::enabled;
}

void EditorPicker::refresh()
{
    const State current = state();
    m_badge->setVisible(current != State::enabled);
    if (current == State::disabledGlobally) {
        m_badge->setColor(Qt::red);
        m_badge->setToolTip(tr("Disabled globally"));
    } else if (current == State::disabledInProfile) {
        m_badge->setColor(QColor(0xff, 0xcc, 0x00));
        m_badge->setToolTip(tr("Disabled in this profile only"));
    }
    if (m_picker) {
        // A disabled option is drawn faintly but stays editable.
        if (current == State::enabled) {
            m_picker->setGraphicsEffect(nullptr);
        } else if (!m_picker->graphicsEffect()) {
            auto *faint = new QGraphicsOpacityEffect(m_picker);
            faint->setOpacity(0.45);
            m_picker->setGraphicsEffect(faint);
        }
    }
}

QMenu *EditorPicker::makeMenu(QWidget *parent)
{
    auto *menu = new QMenu(parent);
    menu->setObjectName(QStringLiteral("EditorPickerMenu"));
    if (!isEnabled())
        return menu;

    menu->addAction(KivUtilities::Symbols::icon(QStringLiteral("play")), tr("Apply"), this,
                    &EditorPicker::applyOption);
    menu->addAction(KivUtilities::Symbols::icon(QStringLiteral("square.and.arrow.down")),
                    tr("Read from System"), this, &EditorPicker::readFromSystem);
    menu->addSeparator();

    const State current = state();
    if (current != State::disabledGlobally) {
        Option *existing = m_profile ? m_profile->option(m_key) : nullptr;
        const bool disabledHere = existing && !existing->isEnabled();
        menu->addAction(disabledHere ? tr("Enable in this Profile") : tr("Disable in this Profile"), this,
                        &EditorPicker::toggleInProfile);
        menu->addSeparator();
    }
    menu->addAction(current == State::disabledGlobally ? tr("Enable Globally") : tr("Disable Globally"), this,
                    &EditorPicker::toggleGlobally);

    if (OptionModel *registered = model()) {
        if (QWidget *accessory = registered->accessoryView(menu)) {
            menu->addSeparator();
            auto *holder = new QWidgetAction(menu);
            holder->setDefaultWidget(accessory);
            menu->addAction(holder);
        }
    }
    return menu;
}

void EditorPicker::applyOption()
{
    KivUtilities::detached(applyOne(m_profile, m_key, m_store), "Applying an option");
}

void EditorPicker::readFromSystem()
{
    KivUtilities::detached(readOne(m_profile, m_key, m_store), "Reading an option from the system");
}

void EditorPicker::toggleInProfile()
{
    if (!m_profile)
        return;
    Option *existing = m_profile->option(m_key);
    const bool enable = existing && !existing->isEnabled();
    m_profile->findOrCreateOption(m_key)->setEnabled(enable);
}

void EditorPicker::toggleGlobally()
{
    if (!m_store)
        return;
    QStringList ids = m_store->disabledOptionsIDs();
    if (ids.contains(m_key))
        ids.removeAll(m_key);
    else
        ids.append(m_key);
    m_store->setDisabledOptionsIDs(ids);
}
