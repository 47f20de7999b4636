#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// The settings that the profile operations read and write: whether any profile has been applied,
// the last applied profile, and the option identifiers that the user excluded for all profiles.
namespace EngineSettings {

bool didApplyAnyProfile();
void setDidApplyAnyProfile(bool applied);

QString lastAppliedProfileID();
void setLastAppliedProfileID(const QString &uuid);

// The globally excluded option identifiers, as the synchronised options keep them: from the source
// set with setDisabledOptionIDsSource(), else from the program's; none when neither is set.
QStringList disabledOptionIDs();
// Replaces where disabledOptionIDs() reads from (tests; an empty function restores the program's).
void setDisabledOptionIDsSource(std::function<QStringList()> source);
// The program's source, installed once by the main controller.
void setProgramDisabledOptionIDsSource(std::function<QStringList()> source);

} // namespace EngineSettings
