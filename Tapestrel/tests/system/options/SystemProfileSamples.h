#pragma once

#include <QList>
#include <QString>

#include <utility>

// Two profiles' worth of system settings, in registry order, each value one that its picker can
// produce; the second turns every setting the other way.
namespace SystemProfileSamples {

using Values = QList<std::pair<QString, QString>>;

inline const Values first = {
    {"system.ui.appearance", "dark"},
    {"system.desktop.liquidGlassStyle", "1"},
    {"system.ui.accentColor", "purple"},
    {"system.finder.folderColor", R"({"kind":"custom","customColor":"0.200000 0.400000 0.600000 1.000000"})"},
    {"system.desktop.iconAndWidgetStyle", "TintedDark"},
    {"system.desktop.dock.enableMagnification", "true"},
    {"system.dock.position", "left"},
    {"system.dock.size", "0.5"},
    {"system.desktop.dock.autoHide", "true"},
    {"system.misc.autoHideMenuBar", "true"},
    {"system.desktop.stageManager.enable", "true"},
    {"system.ui.desktop.ShowIcons", "false"},
    {"system.ui.desktop.ShowWidgets", "true"},
};
inline const Values second = {
    {"system.ui.appearance", "light"},
    {"system.desktop.liquidGlassStyle", "0"},
    {"system.ui.accentColor", "multicolor"},
    {"system.finder.folderColor", R"({"kind":"graphite","customColor":null})"},
    {"system.desktop.iconAndWidgetStyle", "ClearAutomatic"},
    {"system.desktop.dock.enableMagnification", "false"},
    {"system.dock.position", "right"},
    {"system.dock.size", "0.25"},
    {"system.desktop.dock.autoHide", "false"},
    {"system.misc.autoHideMenuBar", "false"},
    {"system.desktop.stageManager.enable", "false"},
    {"system.ui.desktop.ShowIcons", "true"},
    {"system.ui.desktop.ShowWidgets", "false"},
};

} // namespace SystemProfileSamples
