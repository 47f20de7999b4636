#pragma once

#include "Tapestrel/model/Option.h"
#include "Tapestrel/model/Profile.h"
#include "Tapestrel/model/SynchronizedOptionsStore.h"

#include <QPointer>
#include <QWidget>

class ColorLabel;
class OptionModel;
class Option;
class Profile;
class QMenu;
class QHBoxLayout;
class SynchronizedOptionsStore;

// The editor row of one option of one profile: the option model's picker for the profile's own
// option, a badge while the option is disabled, and a context menu with the operations on this one
// option (apply, read from the system, disable in this profile or in all profiles, the model's
// accessory).
//
// A row whose option model is not registered draws an empty, disabled row.
class EditorPicker : public QWidget
{
    Q_OBJECT

public:
    enum class State { enabled, disabledInProfile, disabledGlobally };

    // The store holds the options disabled in all profiles; without one, none is.
    EditorPicker(const QString &key, Profile *profile, SynchronizedOptionsStore *store = nullptr,
                 QWidget *parent = nullptr);

    QString key() const { return m_key; }
    Profile *profile() const { return m_profile; }
    // The profile's option that the picker edits (the one applying uses); null for an unregistered
    // model or a deleted profile.
    Option *option() const { return m_option; }
    // The registered model, looked up again on every call.
    OptionModel *model() const;

    State state() const;
    // The badge, present only in a disabled state.
    ColorLabel *badge() const { return m_badge; }
    QWidget *picker() const { return m_picker; }
    // Whether the hidden badge keeps its width, so that the pickers of rows in a list line up (the
    // default). A row that stands alone gives its picker the whole width instead.
    void setBadgeKeepsItsPlace(bool keep);

    // The context menu as it would open now. The caller owns it.
    QMenu *makeMenu(QWidget *parent = nullptr);

    // The menu's operations.
    void applyOption();
    void readFromSystem();
    void toggleInProfile();
    void toggleGlobally();

private:
    void refresh();

    QString m_key;
    QPointer<Profile> m_profile;
    QPointer<Option> m_option;
    QPointer<SynchronizedOptionsStore> m_store;
    QHBoxLayout *m_layout = nullptr;
    ColorLabel *m_badge = nullptr;
    QWidget *m_picker = nullptr;
};
