#pragma once

#include <QString>

// The scripts of System Events' Dock preferences: reading a property, and the head of a set script
// to which the value word and "\nend tell" are appended.
namespace DockPreferenceScripts {

QString readScript(const QString &property);
QString setScript(const QString &property, const QString &valueWord);

} // namespace DockPreferenceScripts
